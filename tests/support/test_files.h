#pragma once
// Helpers for tests: temporary folders, file bytes, little-endian packing and
// a BMP file builder.

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace tessarin::testing {

// A fresh folder under the system temp folder, removed with the object.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
// The names in a folder, sorted.
std::vector<std::string> FileNames(const std::string& folder);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

void Le16(std::vector<uint8_t>& out, uint32_t v);
void Le32(std::vector<uint8_t>& out, uint32_t v);
uint32_t GetLe32(const std::vector<uint8_t>& b, size_t at);
uint16_t GetLe16(const std::vector<uint8_t>& b, size_t at);

// A BMP file: 14-byte file header, a header of `headerSize` bytes (12 for a
// core header), then `extra` (masks after a 40-byte header), the palette
// entries (4 bytes each, 3 in a core file) and the pixel bytes as given.
struct BmpLayout {
    uint32_t headerSize = 40;
    int32_t width = 1;
    int32_t height = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;
    std::vector<uint8_t> extra;
    std::vector<uint32_t> palette;  // 0x00RRGGBB
    std::vector<uint8_t> pixels;
    uint32_t masks[4] = {0, 0, 0, 0};  // written into headers of 52 bytes and more
};
std::vector<uint8_t> BuildBmp(const BmpLayout& layout);

// Result of running the program.
struct RunResult {
    int exitCode = -1;  // -1 when it ended by a signal
    int signal = 0;     // the signal that ended it
    std::string output;
    std::string errors;  // standard error
};
// Runs build/tessarin with the arguments, HOME and XDG_CONFIG_HOME set to
// `home` so no real settings are touched, and no display; captures standard
// output and standard error.
// A non-zero `fileSizeLimit` caps the size of every file the program writes
// (RLIMIT_FSIZE), so writes fail part-way as on a full disk.
RunResult RunTessarin(const std::vector<std::string>& args, const std::string& home,
                      const std::string& workDir = {}, uint64_t fileSizeLimit = 0);

struct RunOptions {
    std::string workDir;
    uint64_t fileSizeLimit = 0;
    uint64_t addressSpaceLimit = 0;                                // RLIMIT_AS in bytes; 0 for none
    std::vector<std::pair<std::string, std::string>> environment;  // set in the program
    bool closeOutput = false;  // nobody reads the output: the pipe is closed at once
    std::string outputPath;    // standard output goes to this file (e.g. /dev/full) instead
};
RunResult RunTessarin(const std::vector<std::string>& args, const std::string& home,
                      const RunOptions& options);

// Runs a shell command and returns what it wrote on standard output.
std::string CaptureCommand(const std::string& command);

}  // namespace tessarin::testing
