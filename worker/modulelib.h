#ifndef MODULELIB_H
#define MODULELIB_H

// The module library's entry points, bound by SThread::Loadso(). Each
// pointer is named like the symbol it is bound to and stays null when the
// library lacks that symbol; a null pointer is never called.

typedef int (*Q_VYR_SETPATH)(int, int);
typedef int (*Q_VYR_MODE)(int);
typedef void (*Q_VYR_Delaytime)(int);
typedef int (*Q_VYROpenDeviceEx)(int *, int, const char *, int, int);
typedef int (*Q_VYRCloseDeviceEx)(int);
typedef int (*Q_VYRVfyPwd)(int, int, unsigned char *);
typedef int (*Q_VYRGetImage)(int, int);
typedef int (*Q_VYRUpImage)(int, int, unsigned char *, int *);
typedef int (*Q_VYRGenChar)(int, int, int);
typedef int (*Q_VYRMatch)(int, int, int *);
typedef int (*Q_VYRSearch)(int, int, int, int, int, int *, int *);
typedef int (*Q_VYRRegModule)(int, int);
typedef int (*Q_VYRStoreChar)(int, int, int, int);
typedef int (*Q_VYRLoadChar)(int, int, int, int);
typedef int (*Q_VYRUpChar)(int, int, int, unsigned char *, int *);
typedef int (*Q_VYRDownChar)(int, int, int, unsigned char *, int);
typedef int (*Q_VYRDelChar)(int, int, int, int);
typedef int (*Q_VYREmpty)(int, int);
typedef int (*Q_VYRReadParTable)(int, int, unsigned char *);
typedef int (*Q_VYRTemplateNum)(int, int, int *);
typedef int (*Q_VYRReadIndexTable)(int, int, int, unsigned char *);
typedef int (*Q_VYRGetRandomData)(int, int, unsigned char *);
typedef int (*Q_VYRDoUserDefine)(int, int, int, int);
typedef int (*Q_VYRSetCharLen)(int);
typedef int (*Q_VYRGetCharLen)(int *);
typedef int (*Q_VYRImgData2BMP)(unsigned char *, const char *);
typedef int (*Q_VYRGetImgDataFromBMP)(const char *, unsigned char *, int *);
typedef int (*Q_VYRReadInfo)(int, int, int, unsigned char *);
typedef int (*Q_VYRWriteInfo)(int, int, int, unsigned char *);

extern Q_VYR_SETPATH VYR_SETPATH;
extern Q_VYR_MODE VYR_MODE;
extern Q_VYR_Delaytime VYR_Delaytime;
extern Q_VYROpenDeviceEx VYROpenDeviceEx;
extern Q_VYRCloseDeviceEx VYRCloseDeviceEx;
extern Q_VYRVfyPwd VYRVfyPwd;
extern Q_VYRGetImage VYRGetImage;
extern Q_VYRUpImage VYRUpImage;
extern Q_VYRGenChar VYRGenChar;
extern Q_VYRMatch VYRMatch;
extern Q_VYRSearch VYRSearch;
extern Q_VYRRegModule VYRRegModule;
extern Q_VYRStoreChar VYRStoreChar;
extern Q_VYRLoadChar VYRLoadChar;
extern Q_VYRUpChar VYRUpChar;
extern Q_VYRDownChar VYRDownChar;
extern Q_VYRDelChar VYRDelChar;
extern Q_VYREmpty VYREmpty;
extern Q_VYRReadParTable VYRReadParTable;
extern Q_VYRTemplateNum VYRTemplateNum;
extern Q_VYRReadIndexTable VYRReadIndexTable;
extern Q_VYRGetRandomData VYRGetRandomData;
extern Q_VYRDoUserDefine VYRDoUserDefine;
extern Q_VYRSetCharLen VYRSetCharLen;
extern Q_VYRGetCharLen VYRGetCharLen;
extern Q_VYRImgData2BMP VYRImgData2BMP;
extern Q_VYRGetImgDataFromBMP VYRGetImgDataFromBMP;
extern Q_VYRReadInfo VYRReadInfo;
extern Q_VYRWriteInfo VYRWriteInfo;

#endif // MODULELIB_H
