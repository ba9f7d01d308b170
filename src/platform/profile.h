#pragma once
// INI files read and written the way the Windows private-profile functions do:
// case-blind section and key names, the first match wins, trimmed values with
// one pair of enclosing double quotes removed. Files are read as UTF-8 (BOM
// skipped) or UTF-16 with BOM, and written as UTF-8 with LF line ends, through
// a temporary file renamed over the old one so a failed write never leaves a
// half-written file.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessarin {

// A settings file larger than this is treated as unreadable: reads give the
// defaults and writes fail, so it is never truncated by a rewrite.
inline constexpr std::uint64_t kMaxProfileBytes = 16u << 20;

// The lines of one INI file, decoded to UTF-8. Lines that are neither section
// headers nor keys (comments, blank lines, anything else) are kept verbatim.
class ProfileDocument {
  public:
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    std::string GetString(std::string_view section, std::string_view key,
                          const std::string& def) const;
    int GetInt(std::string_view section, std::string_view key, int def) const;

    // Replaces the key's line, or appends the key at the end of its section,
    // or appends the section and the key at the end. Returns false, and leaves
    // the document unchanged, for names or values a line cannot hold (line
    // breaks, "=" in a key, "]" in a section, empty names).
    [[nodiscard]] bool Set(std::string_view section, std::string_view key, std::string_view value);

    // UTF-8, every line ended by LF.
    std::string Serialize() const;

  private:
    enum class LineKind { Other, Section, Key };
    struct Line {
        std::string text;  // the line as read or written, without its line end
        LineKind kind = LineKind::Other;
        std::string name;   // section or key name, blanks trimmed
        std::string value;  // key value after trimming and unquoting
    };

    static Line ParseLine(std::string text);
    static bool NameEquals(std::string_view a, std::string_view b);
    // Index of the key's line, or -1.
    long FindLine(std::string_view section, std::string_view key) const;

    std::vector<Line> lines_;

    friend ProfileDocument ParseProfile(std::string_view bytes);
};

// Parses any bytes: UTF-8 with or without BOM, UTF-16LE or UTF-16BE with BOM
// (odd trailing bytes and broken surrogates tolerated), LF or CRLF.
ProfileDocument ParseProfile(std::string_view bytes);

enum class FileReadStatus { Ok, Missing, Failed };

// Reads a regular file of at most kMaxProfileBytes. A missing file is Missing;
// anything else that cannot be read (a folder, a device, too large, no
// permission) is Failed. `bytes` is empty unless Ok.
[[nodiscard]] FileReadStatus ReadSmallFile(const std::string& path, std::string& bytes);

// Replaces the file's contents atomically: a temporary file in the same folder
// is written, flushed to disk and renamed over the old one. The folder is
// created (all levels) when missing. A read-only existing file is not
// replaced. On failure the old file is left as it was and false returned.
[[nodiscard]] bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// The document of a file; a missing or unreadable file reads as empty.
FileReadStatus ReadProfileFile(const std::string& path, ProfileDocument& document);

int GetProfileInt(const std::string& path, std::string_view section, std::string_view key, int def);
std::string GetProfileString(const std::string& path, std::string_view section,
                             std::string_view key, const std::string& def);
[[nodiscard]] bool WriteProfileString(const std::string& path, std::string_view section,
                                      std::string_view key, std::string_view value);

struct ProfileEntry {
    std::string section;
    std::string key;
    std::string value;
};

// Writes several keys in one atomic rewrite; the file ends up as if each had
// been written in turn with WriteProfileString. All or nothing.
[[nodiscard]] bool WriteProfileStrings(const std::string& path,
                                       const std::vector<ProfileEntry>& entries);

}  // namespace tessarin
