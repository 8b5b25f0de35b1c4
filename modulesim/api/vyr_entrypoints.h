#ifndef VYR_ENTRYPOINTS_H
#define VYR_ENTRYPOINTS_H

/*
 * The 29 entry points of the fingerprint module library, listed once: the
 * program's pointer types, pointers and binding, and the stand-in's
 * declarations, exports and call log all derive from this list.
 * VYR_ENTRY_POINTS(X) expands X(result, name, parameters, shapes) for
 * each, in the order the program binds them. Every call but VYR_Delaytime
 * returns 0 on success; `h` is the handle VYROpenDeviceEx wrote, `addr` the
 * device address.
 *
 * `shapes` says what each parameter carries, for a recording of the calls
 * (modulesim/recording/callshape.h): Value, an int passed in; OutValue, an
 * int the call writes; Text, a NUL-terminated string read; InBytes(n) and
 * OutBytes(n), n bytes read or written; InFrame and OutFrame, an image;
 * InTemplate and OutTemplate, a template block whose length is the
 * parameter after it (passed in, or written by the call).
 */

#define VYR_ENTRY_POINTS(X)                                                                        \
    X(int, VYR_SETPATH, (int path, int option), (Value, Value))                                    \
    X(int, VYR_MODE, (int mode), (Value))                                                          \
    X(void, VYR_Delaytime, (int ms), (Value))                                                      \
    X(int, VYROpenDeviceEx, (int *handle, int type, const char *name, int port, int baud),         \
      (OutValue, Value, Text, Value, Value))                                                       \
    X(int, VYRCloseDeviceEx, (int h), (Value))                                                     \
    X(int, VYRVfyPwd, (int h, int addr, unsigned char *password), (Value, Value, InBytes(4)))      \
    X(int, VYRGetImage, (int h, int addr), (Value, Value))                                         \
    X(int, VYRUpImage, (int h, int addr, unsigned char *image, int *length),                       \
      (Value, Value, OutFrame, OutValue))                                                          \
    X(int, VYRGenChar, (int h, int addr, int buffer), (Value, Value, Value))                       \
    X(int, VYRMatch, (int h, int addr, int *score), (Value, Value, OutValue))                      \
    X(int, VYRSearch, (int h, int addr, int buffer, int start, int count, int *id, int *score),    \
      (Value, Value, Value, Value, Value, OutValue, OutValue))                                     \
    X(int, VYRRegModule, (int h, int addr), (Value, Value))                                        \
    X(int, VYRStoreChar, (int h, int addr, int buffer, int id), (Value, Value, Value, Value))      \
    X(int, VYRLoadChar, (int h, int addr, int buffer, int id), (Value, Value, Value, Value))       \
    X(int, VYRUpChar, (int h, int addr, int buffer, unsigned char *data, int *length),             \
      (Value, Value, Value, OutTemplate, OutValue))                                                \
    X(int, VYRDownChar, (int h, int addr, int buffer, unsigned char *data, int length),            \
      (Value, Value, Value, InTemplate, Value))                                                    \
    X(int, VYRDelChar, (int h, int addr, int id, int count), (Value, Value, Value, Value))         \
    X(int, VYREmpty, (int h, int addr), (Value, Value))                                            \
    X(int, VYRReadParTable, (int h, int addr, unsigned char *table), (Value, Value, OutBytes(16))) \
    X(int, VYRTemplateNum, (int h, int addr, int *count), (Value, Value, OutValue))                \
    X(int, VYRReadIndexTable, (int h, int addr, int page, unsigned char *bits),                    \
      (Value, Value, Value, OutBytes(32)))                                                         \
    X(int, VYRGetRandomData, (int h, int addr, unsigned char *data), (Value, Value, OutBytes(4)))  \
    X(int, VYRDoUserDefine, (int h, int addr, int port, int level), (Value, Value, Value, Value))  \
    X(int, VYRSetCharLen, (int length), (Value))                                                   \
    X(int, VYRGetCharLen, (int *length), (OutValue))                                               \
    X(int, VYRImgData2BMP, (unsigned char *image, const char *path), (InFrame, Text))              \
    X(int, VYRGetImgDataFromBMP, (const char *path, unsigned char *image, int *length),            \
      (Text, OutFrame, OutValue))                                                                  \
    X(int, VYRReadInfo, (int h, int addr, int page, unsigned char *data),                          \
      (Value, Value, Value, OutBytes(32)))                                                         \
    X(int, VYRWriteInfo, (int h, int addr, int page, unsigned char *data),                         \
      (Value, Value, Value, InBytes(32)))

#endif /* VYR_ENTRYPOINTS_H */
