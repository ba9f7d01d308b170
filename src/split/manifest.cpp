#include "split/manifest.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "platform/profile.h"
#include "platform/text.h"
#include "split/formats.h"
#include "split/naming.h"
#include "split/split_job.h"

namespace tessarin {

namespace {

// The length of the well-formed UTF-8 sequence at text[at], 0 when there is
// none: overlong forms, encoded surrogates and code points past U+10FFFF are
// not well-formed.
size_t Utf8SequenceAt(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - at < length || byte(1) < low || byte(1) > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return length;
}

void AppendEscape(std::string& out, unsigned unit) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", unit);
    out += escape;
}

// A JSON string. Paths are bytes: well-formed UTF-8 passes through, control
// characters are escaped, and every other byte b becomes the lone surrogate
// U+DC00 + b, as Python's "surrogateescape" decodes it, so the bytes can be
// had back exactly.
std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (size_t at = 0; at < text.size();) {
        const char c = text[at];
        const auto byte = static_cast<unsigned char>(c);
        const size_t length = Utf8SequenceAt(text, at);
        if (length == 0) {
            AppendEscape(out, 0xDC00u + byte);
            ++at;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            AppendEscape(out, byte);
        } else {
            out.append(text, at, length);
        }
        at += length;
    }
    return out + "\"";
}

const char* UnitName(SizeUnit unit) {
    switch (unit) {
        case SizeUnit::Percent:
            return "percent";
        case SizeUnit::Count:
            return "count";
        default:
            return "pixel";
    }
}

const char* NameFormatName(NameFormat format) {
    switch (format) {
        case NameFormat::ColRow:
            return "colrow";
        case NameFormat::AcrossCount:
            return "across";
        case NameFormat::DownCount:
            return "down";
        default:
            return "rowcol";
    }
}

// A value of an option given in words (such as JPEG / COPY), as its word.
const char* OptionWord(const FormatOptionValues& values, const char* section, const char* key) {
    const FormatOption* option = FindFormatOption(section, key);
    return option && option->words ? option->words[values.Get(section, key)] : "";
}

std::string Number(double value) {
    std::string text = FormatFixed6(value);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

std::string Rect(const TileRect& r) {
    return "\"x\": " + std::to_string(r.x) + ", \"y\": " + std::to_string(r.y) +
           ", \"width\": " + std::to_string(r.width) + ", \"height\": " + std::to_string(r.height);
}

}  // namespace

std::string ManifestText(const SplitJob& job, const TileGrid& grid, bool lossless,
                         std::vector<ManifestTile> tiles) {
    const SplitSettings& s = job.settings;
    std::sort(tiles.begin(), tiles.end(), [](const ManifestTile& a, const ManifestTile& b) {
        return a.rect.row != b.rect.row ? a.rect.row < b.rect.row : a.rect.column < b.rect.column;
    });
    std::string out = "{\n";
    out += "  \"source\": {\"path\": " + Quoted(job.image.path) +
           ", \"width\": " + std::to_string(job.image.width) +
           ", \"height\": " + std::to_string(job.image.height) + "},\n";
    out += "  \"settings\": {\"width\": " + Number(s.widthValue[UnitIndex(s.widthUnit)]) +
           ", \"widthUnit\": \"" + UnitName(s.widthUnit) + "\"" +
           ", \"height\": " + Number(s.heightValue[UnitIndex(s.heightUnit)]) +
           ", \"heightUnit\": \"" + UnitName(s.heightUnit) + "\"" +
           ", \"offsetX\": " + Number(s.offsetXValue[UnitIndex(s.offsetXUnit)]) +
           ", \"offsetXUnit\": \"" + UnitName(s.offsetXUnit) + "\"" +
           ", \"offsetY\": " + Number(s.offsetYValue[UnitIndex(s.offsetYUnit)]) +
           ", \"offsetYUnit\": \"" + UnitName(s.offsetYUnit) + "\"" + ", \"nameFormat\": \"" +
           NameFormatName(s.nameFormat) + "\"" +
           ", \"reverse\": " + (s.reverse ? "true" : "false") +
           ", \"firstNumber\": " + std::to_string(s.firstNumber) +
           ", \"digits\": " + std::to_string(s.digits) +
           ", \"allBmp\": " + (s.allBmp ? "true" : "false") + ", \"format\": \"" +
           TileFormatName(s) + "\"" +
           ", \"exactJpeg\": " + (s.formatOptions.Get("OPTION", "CORRECT_CUT") ? "true" : "false") +
           ", \"jpegQuality\": " + std::to_string(s.formatOptions.Get("JPEG", "QUALITY")) + "},\n";
    // The format the tiles are written in, by its name and their extension.
    std::string extension;
    if (const ImageFormat* source = FindImageFormat(ClassifyImageFile(job.image.path))) {
        std::string base;
        (void)SplitFileName(job.image.path, base, extension);
        out += "  \"tileFormat\": {\"name\": " + Quoted(TileFormatFor(*source, s).name) +
               ", \"extension\": " + Quoted(TileExtension(*source, extension, s)) + "},\n";
    }
    out += "  \"grid\": {\"columns\": " + std::to_string(grid.columns) +
           ", \"rows\": " + std::to_string(grid.rows) +
           ", \"tileWidth\": " + std::to_string(grid.tileWidth) +
           ", \"tileHeight\": " + std::to_string(grid.tileHeight) +
           ", \"offsetX\": " + std::to_string(grid.offsetX) +
           ", \"offsetY\": " + std::to_string(grid.offsetY) + "},\n";
    // The block grid the lossless cuts start on, and the source markers each
    // tile carries.
    if (lossless)
        out += "  \"lossless\": {\"blockWidth\": " + std::to_string(job.image.blockWidth) +
               ", \"blockHeight\": " + std::to_string(job.image.blockHeight) + ", \"copy\": \"" +
               OptionWord(s.formatOptions, "JPEG", "COPY") + "\"},\n";
    out += "  \"tiles\": [";
    for (size_t i = 0; i < tiles.size(); ++i) {
        const ManifestTile& t = tiles[i];
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"file\": " + Quoted(t.fileName) +
               ", \"column\": " + std::to_string(t.rect.column) +
               ", \"row\": " + std::to_string(t.rect.row) + ", " + Rect(lossless ? t.cut : t.rect) +
               ", \"lossless\": " + (lossless ? "true" : "false") + "}";
    }
    out += tiles.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

std::string ManifestFileName(const std::string& sourcePath) {
    return sourcePath.substr(sourcePath.rfind('/') + 1) + "_tiles.json";
}

bool WriteSplitManifest(const std::string& folder, const SplitJob& job, const TileGrid& grid,
                        bool lossless, std::vector<ManifestTile> tiles) {
    const std::string path =
        folder + (folder.back() == '/' ? "" : "/") + ManifestFileName(job.image.path);
    return WriteFileAtomically(path, ManifestText(job, grid, lossless, std::move(tiles)));
}

}  // namespace tessarin
