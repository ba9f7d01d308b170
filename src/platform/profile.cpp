#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>

#include "platform/atomic_file.h"
#include "platform/text.h"

namespace tessarin {

namespace fs = std::filesystem;

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool IsBlankLine(std::string_view s) { return Trim(s).empty(); }

// UTF-16 text after its BOM. A lone trailing byte is dropped and an unpaired
// surrogate becomes U+FFFD, as Windows shows such files.
std::string DecodeUtf16(std::string_view bytes, bool littleEndian) {
    auto unit = [&](std::size_t i) {
        auto lo = static_cast<unsigned char>(bytes[littleEndian ? i : i + 1]);
        auto hi = static_cast<unsigned char>(bytes[littleEndian ? i + 1 : i]);
        return static_cast<std::uint32_t>(lo | (hi << 8));
    };
    std::string out;
    out.reserve(bytes.size());
    const std::size_t units = bytes.size() / 2;
    for (std::size_t k = 0; k < units; ++k) {
        std::uint32_t u = unit(2 * k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units) {
            std::uint32_t low = unit(2 * (k + 1));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++k;
                continue;
            }
        }
        AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
    }
    return out;
}

// A value that would not read back as written (edge blanks, or enclosing
// quotes that reading would strip) is written inside a pair of quotes.
std::string EncodeValue(std::string_view value) {
    bool edgeBlank = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()));
    bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    if (!edgeBlank && !quoted) return std::string(value);
    std::string text;
    text.reserve(value.size() + 2);
    text += '"';
    text += value;
    text += '"';
    return text;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

ProfileDocument::Line ProfileDocument::ParseLine(std::string text) {
    Line line;
    line.text = std::move(text);
    std::string_view body = Trim(line.text);
    if (body.empty() || body.front() == ';') return line;
    if (body.front() == '[') {
        std::size_t close = body.rfind(']');
        if (close != std::string_view::npos && close > 0) {
            line.kind = LineKind::Section;
            line.name = Trim(body.substr(1, close - 1));
            return line;
        }
    }
    std::size_t eq = body.find('=');
    if (eq == std::string_view::npos) return line;
    line.kind = LineKind::Key;
    line.name = Trim(body.substr(0, eq));
    std::string_view value = Trim(body.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    line.value = value;
    return line;
}

bool ProfileDocument::NameEquals(std::string_view a, std::string_view b) {
    return EqualsAsciiNoCase(a, b);
}

long ProfileDocument::FindLine(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == LineKind::Section)
            inSection = NameEquals(line.name, section);
        else if (inSection && line.kind == LineKind::Key && NameEquals(line.name, key))
            return static_cast<long>(i);
    }
    return -1;
}

std::optional<std::string> ProfileDocument::Find(std::string_view section,
                                                 std::string_view key) const {
    long i = FindLine(section, key);
    if (i < 0) return std::nullopt;
    return lines_[static_cast<std::size_t>(i)].value;
}

std::string ProfileDocument::GetString(std::string_view section, std::string_view key,
                                       const std::string& def) const {
    return Find(section, key).value_or(def);
}

int ProfileDocument::GetInt(std::string_view section, std::string_view key, int def) const {
    std::optional<std::string> value = Find(section, key);
    return value ? ParseDecimalInt(*value) : def;
}

bool ProfileDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || key.empty() || HasLineBreak(section) || HasLineBreak(key) ||
        HasLineBreak(value) || section.find(']') != std::string_view::npos ||
        key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';')
        return false;

    const std::string encoded = EncodeValue(value);
    if (long i = FindLine(section, key); i >= 0) {
        Line& line = lines_[static_cast<std::size_t>(i)];
        line = ParseLine(line.name + "=" + encoded);
        return true;
    }
    Line keyLine = ParseLine(std::string(key) + "=" + encoded);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind != LineKind::Section || !NameEquals(lines_[i].name, section)) continue;
        // After the section's last non-blank line, so a blank line that
        // separates it from the next section stays in place.
        std::size_t last = i;
        for (std::size_t j = i + 1; j < lines_.size() && lines_[j].kind != LineKind::Section; ++j)
            if (!IsBlankLine(lines_[j].text)) last = j;
        lines_.insert(lines_.begin() + static_cast<long>(last) + 1, std::move(keyLine));
        return true;
    }
    lines_.push_back(ParseLine("[" + std::string(section) + "]"));
    lines_.push_back(std::move(keyLine));
    return true;
}

std::string ProfileDocument::Serialize() const {
    std::string out;
    for (const Line& line : lines_) {
        out += line.text;
        out += '\n';
    }
    // Text that happens to begin like a byte order mark gets a real UTF-8 one,
    // so the next read does not take it for UTF-16.
    std::string_view head(out);
    if (head.substr(0, 2) == "\xFF\xFE" || head.substr(0, 2) == "\xFE\xFF" ||
        head.substr(0, 3) == "\xEF\xBB\xBF")
        out.insert(0, "\xEF\xBB\xBF");
    return out;
}

ProfileDocument ParseProfile(std::string_view bytes) {
    std::string decoded;
    std::string_view text = bytes;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    } else if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
        decoded = DecodeUtf16(bytes.substr(2), bytes[0] == '\xFF');
        text = decoded;
    }
    ProfileDocument document;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        document.lines_.push_back(ProfileDocument::ParseLine(std::string(line)));
    }
    return document;
}

FileReadStatus ReadSmallFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    // Non-blocking so that a FIFO at the path cannot hang the caller.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return (errno == ENOENT || errno == ENOTDIR) ? FileReadStatus::Missing
                                                     : FileReadStatus::Failed;
    struct stat st {};
    FileReadStatus status = FileReadStatus::Ok;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uint64_t>(st.st_size) > kMaxProfileBytes) {
        status = FileReadStatus::Failed;
    } else {
        bytes.reserve(static_cast<std::size_t>(st.st_size));
        char buffer[65536];
        for (;;) {
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 || bytes.size() + static_cast<std::size_t>(n) > kMaxProfileBytes) {
                status = FileReadStatus::Failed;
                break;
            }
            if (n == 0) break;
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    if (status != FileReadStatus::Ok) bytes.clear();
    return status;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
    if (path.empty()) return false;
    std::error_code ec;
    fs::path target(path);
    // Replace what a symbolic link points at, not the link itself.
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::canonical(target, ec);
        if (!ec) target = resolved;
    }
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    fs::create_directories(folder, ec);
    if (ec) return false;

    struct stat st {};
    bool exists = ::stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return false;
    if (exists && (!S_ISREG(st.st_mode) || ::access(target.c_str(), W_OK) != 0)) return false;

    AtomicFile file;
    if (!file.Create(folder.string())) return false;
    bool ok = WriteAll(file.Descriptor(), bytes);
    if (ok && exists) ok = ::fchmod(file.Descriptor(), st.st_mode & 07777) == 0;
    // Synced before the rename: after a crash the settings file is either the
    // old one or the new one, never an empty or partial one.
    return ok && file.Commit(target.string(), true);
}

FileReadStatus ReadProfileFile(const std::string& path, ProfileDocument& document) {
    std::string bytes;
    FileReadStatus status = ReadSmallFile(path, bytes);
    document = ParseProfile(bytes);
    return status;
}

int GetProfileInt(const std::string& path, std::string_view section, std::string_view key,
                  int def) {
    ProfileDocument document;
    ReadProfileFile(path, document);
    return document.GetInt(section, key, def);
}

std::string GetProfileString(const std::string& path, std::string_view section,
                             std::string_view key, const std::string& def) {
    ProfileDocument document;
    ReadProfileFile(path, document);
    return document.GetString(section, key, def);
}

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
    return WriteProfileStrings(path,
                               {{std::string(section), std::string(key), std::string(value)}});
}

bool WriteProfileStrings(const std::string& path, const std::vector<ProfileEntry>& entries) {
    std::string old;
    FileReadStatus status = ReadSmallFile(path, old);
    // An existing file that cannot be read is not replaced by a fresh one.
    if (status == FileReadStatus::Failed) return false;
    ProfileDocument document = ParseProfile(old);
    for (const ProfileEntry& e : entries)
        if (!document.Set(e.section, e.key, e.value)) return false;
    std::string bytes = document.Serialize();
    if (status == FileReadStatus::Ok && bytes == old) return true;
    return WriteFileAtomically(path, bytes);
}

}  // namespace tessarin
