#include "split/manifest_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string_view>

#include "platform/text.h"

namespace tessarin {

namespace {

// A manifest lists a tile in about a hundred bytes; this holds millions.
constexpr uint64_t kMaxManifestBytes = uint64_t{1} << 30;
constexpr int kMaxDepth = 64;
constexpr std::string_view kSuffix = "_tiles.json";

bool ReadWhole(const std::string& path, std::string& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
              static_cast<uint64_t>(st.st_size) <= kMaxManifestBytes;
    if (ok) {
        try {
            out.resize(static_cast<size_t>(st.st_size));
        } catch (...) {
            ok = false;
        }
    }
    size_t done = 0;
    while (ok && done < out.size()) {
        const ssize_t got = ::read(fd, out.data() + done, out.size() - done);
        if (got <= 0) ok = false;
        if (got > 0) done += static_cast<size_t>(got);
    }
    ::close(fd);
    return ok;
}

// A JSON reader that walks the whole text and keeps only the strings the
// summary needs: "path" inside the top object's "source", and "file" inside
// each object of the top object's "tiles".
class Reader {
  public:
    Reader(std::string_view text, ManifestSummary& out) : text_(text), out_(out) {}

    bool Document() {
        Space();
        if (!Value(0, Where::Top)) return false;
        Space();
        return at_ == text_.size() && sawSource_;
    }

  private:
    enum class Where { Top, TopMember, Source, Tiles, Tile, Other };

    void Space() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' ||
                                      text_[at_] == '\r' || text_[at_] == '\t'))
            ++at_;
    }
    bool Take(char c) {
        Space();
        if (at_ >= text_.size() || text_[at_] != c) return false;
        ++at_;
        return true;
    }
    bool Peek(char c) {
        Space();
        return at_ < text_.size() && text_[at_] == c;
    }

    bool Hex4(unsigned& unit) {
        if (text_.size() - at_ < 4) return false;
        unit = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[at_++];
            unit <<= 4;
            if (c >= '0' && c <= '9')
                unit |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                unit |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                unit |= static_cast<unsigned>(c - 'A' + 10);
            else
                return false;
        }
        return true;
    }

    bool String(std::string& out) {
        if (!Take('"')) return false;
        out.clear();
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) return false;
            const char e = text_[at_++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    unsigned unit = 0;
                    if (!Hex4(unit)) return false;
                    if (unit >= 0xD800 && unit < 0xDC00 && text_.substr(at_, 2) == "\\u") {
                        const size_t mark = at_;
                        at_ += 2;
                        unsigned low = 0;
                        if (Hex4(low) && low >= 0xDC00 && low < 0xE000) {
                            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                            break;
                        }
                        at_ = mark;
                    }
                    // A lone low surrogate stands for one byte of a name that
                    // is not UTF-8 (see the manifest writer).
                    if (unit >= 0xDC80 && unit <= 0xDCFF)
                        out += static_cast<char>(unit - 0xDC00);
                    else if (unit < 0xD800 || unit >= 0xE000)
                        AppendUtf8(out, unit);
                    else
                        return false;
                    break;
                }
                default:
                    return false;
            }
        }
        return false;
    }

    bool Literal() {
        Space();
        const size_t start = at_;
        while (at_ < text_.size() &&
               (std::string_view("+-.0123456789eEtrufalsn").find(text_[at_]) !=
                std::string_view::npos))
            ++at_;
        return at_ > start;
    }

    bool Value(int depth, Where where) {
        if (depth > kMaxDepth) return false;
        if (Peek('{')) return Object(depth + 1, where);
        if (Peek('[')) return Array(depth + 1, where);
        if (Peek('"')) {
            std::string ignored;
            return String(ignored);
        }
        return Literal();
    }

    bool Object(int depth, Where where) {
        Take('{');
        if (Take('}')) return true;
        do {
            std::string key;
            if (!String(key) || !Take(':')) return false;
            Where inner = Where::Other;
            if (where == Where::Top && key == "source") inner = Where::Source;
            if (where == Where::Top && key == "tiles") inner = Where::Tiles;
            const bool wanted = (where == Where::Source && key == "path") ||
                                (where == Where::Tile && key == "file");
            if (wanted && Peek('"')) {
                std::string value;
                if (!String(value)) return false;
                if (where == Where::Source) {
                    out_.sourcePath = std::move(value);
                    sawSource_ = true;
                } else {
                    out_.files.push_back(std::move(value));
                }
            } else if (!Value(depth, inner)) {
                return false;
            }
        } while (Take(','));
        return Take('}');
    }

    bool Array(int depth, Where where) {
        Take('[');
        if (Take(']')) return true;
        do {
            if (!Value(depth, where == Where::Tiles ? Where::Tile : Where::Other)) return false;
        } while (Take(','));
        return Take(']');
    }

    std::string_view text_;
    ManifestSummary& out_;
    size_t at_ = 0;
    bool sawSource_ = false;
};

}  // namespace

bool ReadManifest(const std::string& path, ManifestSummary& out) {
    std::string text;
    if (!ReadWhole(path, text)) return false;
    ManifestSummary summary;
    Reader reader(text, summary);
    if (!reader.Document()) return false;
    out = std::move(summary);
    return true;
}

bool IsManifestName(const std::string& name) {
    return name.size() > kSuffix.size() && name.ends_with(kSuffix);
}

}  // namespace tessarin
