#pragma once
// The formats the program reads and cuts, each with everything it brings:
// its name and extensions, the open dialog's filter, how its files begin, its
// readers, its tiles and the options they take, its messages. Every other
// place asks here. A format is added as a folder of its own under imaging/
// with its entry (<format>/<format>_entry.cpp) and its line in
// TESSARIN_IMAGE_FORMATS below.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "imaging/current_image.h"
#include "imaging/loaded_image.h"
#include "imaging/read_watch.h"
#include "imaging/row_bands.h"
#include "imaging/tile_settings.h"
#include "imaging/tile_source.h"
#include "platform/file_io.h"
#include "platform/format_option.h"

namespace tessarin {

// Every format, in the open dialog's order: X(Kind, number) for the entry
// k<Kind>Format that its folder defines. A format is added by a line here.
#define TESSARIN_IMAGE_FORMATS(X) X(Bmp, 1) X(Jpeg, 2) X(Png, 3) X(Gif, 4) X(Tiff, 5) X(Webp, 6)

enum class ImageFileKind : int {
    Unsupported = 0,
    BadPath = -1,
#define TESSARIN_FORMAT_KIND(kind, number) kind = number,
    TESSARIN_IMAGE_FORMATS(TESSARIN_FORMAT_KIND)
#undef TESSARIN_FORMAT_KIND
};

// What a format's files and reader can do, beyond reading rows; the engine,
// the window and the docs ask these instead of naming formats.
struct FormatCapabilities {
    // Writes tiles of its own kind; a format that cannot has its tiles
    // written as BMP, with BMP's extension.
    bool writesTiles = true;
    // Offers a reduced picture before its rows are decoded (a JPEG file's
    // scaled decode, the first scans of a progressive one): the window shows
    // a large file's picture early.
    bool earlyPicture = false;
    // Its own tiles start on a grid of blocks (blockWidth x blockHeight) and
    // are cut losslessly from the compressed data: a split whose lines miss
    // that grid is asked about first.
    bool blockGrid = false;
    // Its own tiles are encoded anew with loss (JPEG): they keep the
    // picture, not every sample of it.
    bool lossyTiles = false;
    // Its files carry a colour profile, and every tile it writes carries the
    // source's (what its reader gives as LoadedImage::iccProfile).
    bool keepsProfile = false;
};

struct ImageFormat {
    ImageFileKind kind = ImageFileKind::Unsupported;
    const char* name = nullptr;  // as the open dialog names it: "JPEG"
    // File name extensions with their dot, lower case, ended by a null; the
    // first is the one tiles written in the format get.
    const char* const* extensions = nullptr;
    // The media types of its files, ended by a null (the desktop file's list).
    const char* const* mimeTypes = nullptr;
    // Whether the open dialog has a filter of its own for the format,
    // "<name> (*.ext, ...)"; its files are reached through "every file"
    // otherwise.
    bool dialogFilter = true;
    FormatCapabilities can = {};
    // Whether a file that starts with `head` (its first bytes; all of them
    // when it is shorter than kSniffBytes) is one of the format's.
    bool (*sniff)(const uint8_t* head, size_t size) = nullptr;
    // Reads the file opened for the load (null when it could not be: the
    // format's message); on failure out.error holds the message. `watch`
    // (may be null) follows the read and may end it. Null: the load is made
    // of the format's bands (openBands), one band of every row.
    bool (*load)(const SourceFilePtr& file, LoadedImage& out, const ReadWatch* watch) = nullptr;
    // Reads only what the format's own tiles need before they are cut, with
    // no raster; null when they are cut from the raster. On failure
    // out.error holds the message.
    bool (*loadForTiles)(const SourceFilePtr& file, LoadedImage& out) = nullptr;
    // Prepares one file's tiles in this format with its options read from
    // `settings`; on failure returns null with the message in error. Null
    // when the format writes no tiles (can.writesTiles is false).
    std::unique_ptr<TileSource> (*makeSource)(const CurrentImage& image,
                                              const TileSettings& settings,
                                              std::string& error) = nullptr;
    // Prepares tiles in this format of a file in another (the split's tile
    // format setting): cut from `rows`, which holds a raster of the picture
    // (or of a band of it: rows.raster, its size in rows.width and
    // rows.height) and what the raster lacks (rows.alpha, rows.colorKind,
    // rows.iccProfile); nothing else of the file. A lossless format keeps
    // the raster's pixels exactly, its alpha where it has some, and the
    // profile where it can. On failure returns null with the message in
    // error. Null when the format writes no tiles of other files.
    std::unique_ptr<TileSource> (*makeRasterSource)(const CurrentImage& rows,
                                                    const TileSettings& settings,
                                                    std::string& error) = nullptr;
    // Whether tiles with these settings are cut losslessly from the file's
    // compressed data rather than from the raster; null: never.
    bool (*cutsLosslessly)(const TileSettings& settings) = nullptr;
    // The one message every failed load gives, for readers without messages
    // of their own; null: the reader's message.
    const char* loadFailed = nullptr;
    // The texts the format's code gives the user (failures and notices),
    // ended by a null; each has its translation in the message catalogue.
    const char* const* messages = nullptr;
    // For a split that nothing shows: opens the file (null: not opened) to
    // be cut band by band (see row_bands.h) into the tiles `settings` ask
    // for. On success `out` has the picture's size, depth, colour kind and
    // notices but no raster, and `bands` is positioned at the top row;
    // `bands` stays null when this file or these tiles are not cut by bands
    // (the caller loads the file whole). On failure out.error holds the
    // message. Null: the format is always loaded whole.
    bool (*openBands)(const SourceFilePtr& file, const TileSettings& settings, LoadedImage& out,
                      std::unique_ptr<RowBands>& bands) = nullptr;
    // The options of its tiles, read through TileSettings by the section
    // and key each declares.
    std::span<const FormatOption> options = {};
    // A small whole file of the format: every registered format is tested
    // and fuzzed from it.
    std::string_view sample;
};

// The whole load of a file in `format`: its own, or one made of its bands,
// held to the memory budget. As ImageFormat::load.
bool LoadWholeImage(const ImageFormat& format, const SourceFilePtr& file, LoadedImage& out,
                    const ReadWatch* watch);

// How many bytes of a file's start sniffing looks at.
inline constexpr size_t kSniffBytes = 16;

// Every format, in the open dialog's order.
std::span<const ImageFormat* const> ImageFormats();

// Null for Unsupported and BadPath.
const ImageFormat* FindImageFormat(ImageFileKind kind);

// The format whose extension `extension` (with its dot) is, in any ASCII
// case; null when none.
const ImageFormat* FindImageFormatByExtension(std::string_view extension);

// The format named `name` (ImageFormat::name, in any ASCII case: "webp");
// null when none.
const ImageFormat* FindImageFormatByName(std::string_view name);

// The format whose files start as `head` does; null when none.
const ImageFormat* SniffImageFormat(const uint8_t* head, size_t size);

}  // namespace tessarin
