#ifndef VYR_ENTRYPOINTS_H
#define VYR_ENTRYPOINTS_H

/*
 * The 29 entry points of the fingerprint module library, listed once: the
 * program's pointer types, pointers and binding, and the stand-in's
 * declarations, exports and call log all derive from this list.
 * VYR_ENTRY_POINTS(X) expands X(result, name, parameters) for each, in the
 * order the program binds them. Every call but VYR_Delaytime returns 0 on
 * success; `h` is the handle VYROpenDeviceEx wrote, `addr` the device
 * address.
 */

#define VYR_ENTRY_POINTS(X)                                                                        \
    X(int, VYR_SETPATH, (int path, int option))                                                    \
    X(int, VYR_MODE, (int mode))                                                                   \
    X(void, VYR_Delaytime, (int ms))                                                               \
    X(int, VYROpenDeviceEx, (int *handle, int type, const char *name, int port, int baud))         \
    X(int, VYRCloseDeviceEx, (int h))                                                              \
    X(int, VYRVfyPwd, (int h, int addr, unsigned char *password))                                  \
    X(int, VYRGetImage, (int h, int addr))                                                         \
    X(int, VYRUpImage, (int h, int addr, unsigned char *image, int *length))                       \
    X(int, VYRGenChar, (int h, int addr, int buffer))                                              \
    X(int, VYRMatch, (int h, int addr, int *score))                                                \
    X(int, VYRSearch, (int h, int addr, int buffer, int start, int count, int *id, int *score))    \
    X(int, VYRRegModule, (int h, int addr))                                                        \
    X(int, VYRStoreChar, (int h, int addr, int buffer, int id))                                    \
    X(int, VYRLoadChar, (int h, int addr, int buffer, int id))                                     \
    X(int, VYRUpChar, (int h, int addr, int buffer, unsigned char *data, int *length))             \
    X(int, VYRDownChar, (int h, int addr, int buffer, unsigned char *data, int length))            \
    X(int, VYRDelChar, (int h, int addr, int id, int count))                                       \
    X(int, VYREmpty, (int h, int addr))                                                            \
    X(int, VYRReadParTable, (int h, int addr, unsigned char *table))                               \
    X(int, VYRTemplateNum, (int h, int addr, int *count))                                          \
    X(int, VYRReadIndexTable, (int h, int addr, int page, unsigned char *bits))                    \
    X(int, VYRGetRandomData, (int h, int addr, unsigned char *data))                               \
    X(int, VYRDoUserDefine, (int h, int addr, int port, int level))                                \
    X(int, VYRSetCharLen, (int length))                                                            \
    X(int, VYRGetCharLen, (int *length))                                                           \
    X(int, VYRImgData2BMP, (unsigned char *image, const char *path))                               \
    X(int, VYRGetImgDataFromBMP, (const char *path, unsigned char *image, int *length))            \
    X(int, VYRReadInfo, (int h, int addr, int page, unsigned char *data))                          \
    X(int, VYRWriteInfo, (int h, int addr, int page, unsigned char *data))

#endif /* VYR_ENTRYPOINTS_H */
