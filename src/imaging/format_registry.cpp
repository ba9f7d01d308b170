#include "imaging/format_registry.h"

#include <iterator>
#include <new>
#include <vector>

#include "imaging/failure_text.h"
#include "imaging/messages.h"
#include "imaging/whole_band.h"
#include "platform/text.h"

namespace tessarin {

// Each format's entry, defined in its folder.
#define TESSARIN_FORMAT_ENTRY(kind, number) extern const ImageFormat k##kind##Format;
TESSARIN_IMAGE_FORMATS(TESSARIN_FORMAT_ENTRY)
#undef TESSARIN_FORMAT_ENTRY

namespace {

#define TESSARIN_FORMAT_ADDRESS(kind, number) &k##kind##Format,
constexpr const ImageFormat* kFormats[] = {TESSARIN_IMAGE_FORMATS(TESSARIN_FORMAT_ADDRESS)};
#undef TESSARIN_FORMAT_ADDRESS

// The whole file as one band of raster rows, as the window shows it: a
// damaged file as far as its data goes.
bool LoadFromBands(const ImageFormat& format, const SourceFilePtr& file, LoadedImage& out,
                   const ReadWatch* watch) {
    std::unique_ptr<RowBands> bands;
    if (!format.openBands || !format.openBands(file, ViewSettings(1, watch), out, bands))
        return false;
    if (!bands) {
        out.error = msg::kInvalidFile;  // a file its rows cannot be read from
        return false;
    }
    const char* failure = nullptr;
    const std::unique_ptr<RowBand> band = ReadEveryRow(*bands, out.height, 0, failure);
    if (!band) {
        out.error = failure;
        return false;
    }
    out.raster = band->Raster();
    if (!out.raster) {
        out.error = bands->MemoryMessage();
        return false;
    }
    if (const char* damage = bands->Damage()) out.damage = damage;
    out.source = file;
    return true;
}

}  // namespace

bool LoadWholeImage(const ImageFormat& format, const SourceFilePtr& file, LoadedImage& out,
                    const ReadWatch* watch) {
    try {
        return format.load ? format.load(file, out, watch)
                           : LoadFromBands(format, file, out, watch);
    } catch (const std::bad_alloc&) {
        SetFailureText(out.error, msg::kMemoryFailed);  // memory may have run out
        return false;
    }
}

std::span<const ImageFormat* const> ImageFormats() { return kFormats; }

std::span<const FormatOption> DeclaredFormatOptions() {
    static const std::vector<FormatOption> options = [] {
        std::vector<FormatOption> all;
        for (const ImageFormat* format : kFormats)
            all.insert(all.end(), format->options.begin(), format->options.end());
        return all;
    }();
    return options;
}

const ImageFormat* FindImageFormat(ImageFileKind kind) {
    for (const ImageFormat* format : kFormats)
        if (format->kind == kind) return format;
    return nullptr;
}

const ImageFormat* FindImageFormatByExtension(std::string_view extension) {
    for (const ImageFormat* format : kFormats)
        for (const char* const* e = format->extensions; *e; ++e)
            if (EqualsAsciiNoCase(extension, *e)) return format;
    return nullptr;
}

const ImageFormat* FindImageFormatByName(std::string_view name) {
    for (const ImageFormat* format : kFormats)
        if (EqualsAsciiNoCase(name, format->name)) return format;
    return nullptr;
}

const ImageFormat* SniffImageFormat(const uint8_t* head, size_t size) {
    for (const ImageFormat* format : kFormats)
        if (format->sniff(head, size)) return format;
    return nullptr;
}

}  // namespace tessarin
