#ifndef TEMPLATECODEC_H
#define TEMPLATECODEC_H

// The byte form of a template, as VYRUpChar hands it out, VYRDownChar takes
// it back and the store file keeps it. Always 512 bytes, little-endian.
// Layout 2 carries the ridges' cells; layout 1, without them, is written
// for a template that has none and still read:
//
//   offset  size  field
//        0     3  magic "VYT"
//        3     1  layout version, 1 or 2
//        4     1  flags: bit 0 set when merged from two presses, others 0
//        5     1  minutia count n, 0 to 80 (layout 2: 0 to 59)
//        6     2  zero
//   layout 2 only:
//        8   144  the ridges' 288 cells (template.h), 4 bits each, the
//                 lower half of a byte first
//        m    6n  minutiae from m = 8 (layout 1) or m = 152 (layout 2):
//                   x      int16   pixels, -384 to 639 (template.h: withinReach)
//                   y      int16   pixels, -384 to 671
//                   angle  uint8   256 steps a turn
//                   kind   uint8   bit 7: fork (0: ending); bits 0-6: quality 0-100
//   m + 6n     .  zero up to offset 508
//      508     4  CRC-32 (IEEE 802.3) of bytes 0 to 507
//
// Decoding checks every field: a block that is short, foreign, damaged or
// not in this exact form is refused, never half trusted.

#include "template.h"

#include <array>
#include <optional>

namespace vyrsim {

constexpr int kTemplateBytes = 512;
using TemplateBytes = std::array<unsigned char, kTemplateBytes>;

TemplateBytes encodeTemplate(const Template &t);
std::optional<Template> decodeTemplate(const unsigned char *data, int length);

std::uint32_t crc32(const unsigned char *data, int length);

} // namespace vyrsim

#endif // TEMPLATECODEC_H
