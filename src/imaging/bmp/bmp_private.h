#pragma once
// Glue shared by the BMP reader, the general decoder and the writer.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "imaging/dib_image.h"
#include "imaging/loaded_image.h"
#include "platform/file_io.h"

namespace tessarin::bmp {

// Said when a 5-6-5 file is reduced to 5-5-5, followed by a blank line and
// the file's path.
inline constexpr const char* kColourReductionNotice =
    "緑の情報量を「6bit」から「5bit」に減らします";

inline uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t U32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
inline int32_t I32(const uint8_t* p) { return static_cast<int32_t>(U32(p)); }
inline void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

// Positioned reads from a file, or from a window of it.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    virtual bool ReadAt(uint64_t offset, void* buffer, size_t n) const = 0;
};

class FileSource : public ByteSource {
  public:
    explicit FileSource(const SourceFile& file) : file_(file) {}
    uint64_t Size() const override { return file_.Size(); }
    bool ReadAt(uint64_t offset, void* buffer, size_t n) const override {
        return file_.ReadAt(offset, buffer, n);
    }

  private:
    const SourceFile& file_;
};

// The general decoder: every BMP variant the system loader reads. Fills
// out.raster (no message; the caller reports "ファイルが不正です"), and
// out.damage for RLE data that runs out before the picture does.
bool DecodeBmpFrom(const ByteSource& source, LoadedImage& out);

// What DecodeBmpFrom makes of `source`, from its headers alone: the raster's
// header, and the bytes the decode takes besides the raster (RLE data, a
// row of a file with masks). False when it refuses the file.
bool PlanDecodeBmp(const ByteSource& source, LoadedImage& out, BitmapInfoHeader& raster,
                   uint64_t& besides);

// Our own reader, then the general decoder, over `source`; `path` names the
// file in notices.
bool LoadBmpFrom(const ByteSource& source, const std::string& path, LoadedImage& out);

// What LoadBmpFrom makes of `source`, from its headers alone: the raster's
// header, the bytes the decode takes besides, and out's depth, colour kind
// and notices. False when the file is refused.
bool PlanBmpLoad(const ByteSource& source, const std::string& path, LoadedImage& out,
                 BitmapInfoHeader& raster, uint64_t& besides);

}  // namespace tessarin::bmp
