#pragma once
// Tiles cut from bands of rows, for a split that nothing shows: the picture
// is decoded from top to bottom a band at a time (a band holds one or more
// whole tile rows), the workers cut that band's tiles, and the band is then
// filled with the next rows. Memory is a band, or two when the decode of the
// next band overlaps the cutting of this one, plus the codec's own state;
// never the whole raster. A format that cuts this way opens its files with
// ImageFormat::openBands.

#include <cstdint>
#include <memory>

#include "imaging/dib_image.h"
#include "imaging/tile_source.h"

namespace tessarin {

class TaskRunner;

// Rows of the picture, and the tiles cut from them. The rectangles its tile
// source is given count their y from the band's top row, so a band's tiles
// are written as if the band were the whole picture; the split names them by
// their place in the picture.
class RowBand {
  public:
    virtual ~RowBand() = default;
    // The band's tiles in the format's own kind; null for bands of raster
    // rows (TileSettings::RasterTiles), whose tiles the split has written
    // by the format it chose.
    virtual const TileSource* Tiles() const { return nullptr; }
    // The band's rows as a raster, for bands of raster rows; else null.
    virtual std::shared_ptr<const DibImage> Raster() const { return nullptr; }
};

// One file opened for a banded split. Used from one thread at a time; the
// split reads the next band on one thread while the workers cut the last.
class RowBands {
  public:
    virtual ~RowBands() = default;
    // What the split holds for the whole file besides its bands (a JPEG
    // file's coefficients, a picture that cannot stream decoded whole):
    // allocated when the file was opened or, once the caller has checked it
    // with the band against the memory budget, at the first band's read.
    virtual uint64_t HeldBytes() const { return 0; }
    // The bytes a band of `rows` rows takes; 0 when it cannot be had at all
    // (the size overflows).
    virtual uint64_t BandBytes(int rows) const = 0;
    // A band able to hold up to `rows` rows; null when memory cannot be had.
    virtual std::unique_ptr<RowBand> NewBand(int rows) = 0;
    // Decodes the picture's next `rows` rows, those after the rows of the
    // previous call (the first call starts at the top), into `band`, which
    // then holds exactly them. Returns nullptr on success, else the message
    // the file's load would give. Data that ends or breaks before the
    // picture does (LoadedImage::damage) fails the band whose rows it
    // reaches, unless the bands were opened for a view (settings "VIEW"
    // "SHOW_DAMAGE" 1): they then go on as the whole load does, the rows the
    // data lacks filled in, and Damage() tells.
    virtual const char* ReadRows(RowBand& band, int rows) = 0;
    // The threads the reader may hand part of its reading to (a progressive
    // JPEG file's second decoder): the run's, which outlive the reading.
    // Null, or never told: threads of its own.
    virtual void RunOn(TaskRunner* runner) { (void)runner; }
    // The damage met so far by bands opened for a view; null when none.
    virtual const char* Damage() const { return nullptr; }
    // The message for a band that the memory budget cannot hold.
    virtual const char* MemoryMessage() const = 0;
};

}  // namespace tessarin
