#include "split/manifest.h"

#include <algorithm>
#include <cstdio>

#include "platform/profile.h"
#include "platform/text.h"
#include "split/split_job.h"

namespace tessarin {

namespace {

// A JSON string. Paths are bytes: valid UTF-8 passes through, control
// characters are escaped.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
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
           ", \"allBmp\": " + (s.allBmp ? "true" : "false") +
           ", \"exactJpeg\": " + (s.correctCut ? "true" : "false") +
           ", \"jpegQuality\": " + std::to_string(s.jpegQuality) + "},\n";
    out += "  \"grid\": {\"columns\": " + std::to_string(grid.columns) +
           ", \"rows\": " + std::to_string(grid.rows) +
           ", \"tileWidth\": " + std::to_string(grid.tileWidth) +
           ", \"tileHeight\": " + std::to_string(grid.tileHeight) +
           ", \"offsetX\": " + std::to_string(grid.offsetX) +
           ", \"offsetY\": " + std::to_string(grid.offsetY) + "},\n";
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

bool WriteSplitManifest(const std::string& folder, const std::string& baseName, const SplitJob& job,
                        const TileGrid& grid, bool lossless, std::vector<ManifestTile> tiles) {
    const std::string path = folder + (folder.back() == '/' ? "" : "/") + baseName + "_tiles.json";
    return WriteFileAtomically(path, ManifestText(job, grid, lossless, std::move(tiles)));
}

}  // namespace tessarin
