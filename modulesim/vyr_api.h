#ifndef VYR_API_H
#define VYR_API_H

/*
 * The entry points of the fingerprint module library, as the simulated
 * module exports them. Every call returns 0 on success. `h` is the handle
 * that VYROpenDeviceEx wrote, `addr` the device address.
 */

#ifdef __cplusplus
extern "C" {
#endif

#define VYR_API __attribute__((visibility("default")))

VYR_API int VYR_SETPATH(int path, int option);
VYR_API int VYR_MODE(int mode);
VYR_API void VYR_Delaytime(int ms);
VYR_API int VYROpenDeviceEx(int *handle, int type, const char *name, int port, int baud);
VYR_API int VYRCloseDeviceEx(int h);
VYR_API int VYRVfyPwd(int h, int addr, unsigned char *password);
VYR_API int VYRGetImage(int h, int addr);
VYR_API int VYRUpImage(int h, int addr, unsigned char *image, int *length);
VYR_API int VYRGenChar(int h, int addr, int buffer);
VYR_API int VYRMatch(int h, int addr, int *score);
VYR_API int VYRSearch(int h, int addr, int buffer, int start, int count, int *id, int *score);
VYR_API int VYRRegModule(int h, int addr);
VYR_API int VYRStoreChar(int h, int addr, int buffer, int id);
VYR_API int VYRLoadChar(int h, int addr, int buffer, int id);
VYR_API int VYRUpChar(int h, int addr, int buffer, unsigned char *data, int *length);
VYR_API int VYRDownChar(int h, int addr, int buffer, unsigned char *data, int length);
VYR_API int VYRDelChar(int h, int addr, int id, int count);
VYR_API int VYREmpty(int h, int addr);
VYR_API int VYRReadParTable(int h, int addr, unsigned char *table);
VYR_API int VYRTemplateNum(int h, int addr, int *count);
VYR_API int VYRReadIndexTable(int h, int addr, int page, unsigned char *bits);
VYR_API int VYRGetRandomData(int h, int addr, unsigned char *data);
VYR_API int VYRDoUserDefine(int h, int addr, int port, int level);
VYR_API int VYRSetCharLen(int length);
VYR_API int VYRGetCharLen(int *length);
VYR_API int VYRImgData2BMP(unsigned char *image, const char *path);
VYR_API int VYRGetImgDataFromBMP(const char *path, unsigned char *image, int *length);
VYR_API int VYRReadInfo(int h, int addr, int page, unsigned char *data);
VYR_API int VYRWriteInfo(int h, int addr, int page, unsigned char *data);

#ifdef __cplusplus
}
#endif

#endif /* VYR_API_H */
