#include "imaging/format_registry.h"

#include <iterator>

#include "platform/text.h"

namespace tessarin {

// Each format's entry, defined in its folder.
extern const ImageFormat kBmpFormat, kJpegFormat, kPngFormat, kGifFormat;

namespace {

constexpr const ImageFormat* kFormats[] = {&kBmpFormat, &kJpegFormat, &kPngFormat, &kGifFormat};

}  // namespace

std::span<const ImageFormat* const> ImageFormats() { return kFormats; }

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

const ImageFormat* SniffImageFormat(const uint8_t* head, size_t size) {
    for (const ImageFormat* format : kFormats)
        if (format->sniff(head, size)) return format;
    return nullptr;
}

}  // namespace tessarin
