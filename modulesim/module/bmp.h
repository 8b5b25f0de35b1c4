#ifndef BMP_H
#define BMP_H

namespace vyrsim {

// 256 x 288 grey frames as 8-bit Windows bitmaps with a grey palette.
int writeBmp(const unsigned char *image, const char *path);
int readBmp(const char *path, unsigned char *image, int *length);

} // namespace vyrsim

#endif // BMP_H
