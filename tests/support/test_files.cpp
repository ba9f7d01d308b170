#include "support/test_files.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <utility>

namespace tessarin::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    std::random_device rd;
    path_ = fs::temp_directory_path() / ("tessarin-test-" + std::to_string(::getpid()) + "-" +
                                         std::to_string(counter++) + "-" + std::to_string(rd()));
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void Le16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Le32(std::vector<uint8_t>& out, uint32_t v) {
    Le16(out, v);
    Le16(out, v >> 16);
}

uint32_t GetLe32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t{b.at(at)} | uint32_t{b.at(at + 1)} << 8 | uint32_t{b.at(at + 2)} << 16 |
           uint32_t{b.at(at + 3)} << 24;
}

uint16_t GetLe16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8);
}

std::vector<uint8_t> BuildBmp(const BmpLayout& layout) {
    std::vector<uint8_t> header;
    const bool core = layout.headerSize == 12;
    Le32(header, layout.headerSize);
    if (core) {
        Le16(header, static_cast<uint32_t>(layout.width));
        Le16(header, static_cast<uint32_t>(layout.height));
        Le16(header, 1);
        Le16(header, layout.bitCount);
    } else {
        Le32(header, static_cast<uint32_t>(layout.width));
        Le32(header, static_cast<uint32_t>(layout.height));
        Le16(header, 1);
        Le16(header, layout.bitCount);
        Le32(header, layout.compression);
        Le32(header, static_cast<uint32_t>(layout.pixels.size()));
        Le32(header, 2835);
        Le32(header, 2835);
        Le32(header, layout.clrUsed);
        Le32(header, layout.clrImportant);
        for (int i = 0; i < 4 && header.size() < layout.headerSize; ++i)
            Le32(header, layout.masks[i]);
        header.resize(layout.headerSize, 0);
    }
    std::vector<uint8_t> table;
    for (uint32_t c : layout.palette) {
        table.push_back(static_cast<uint8_t>(c));
        table.push_back(static_cast<uint8_t>(c >> 8));
        table.push_back(static_cast<uint8_t>(c >> 16));
        if (!core) table.push_back(0);
    }
    const uint32_t offset =
        static_cast<uint32_t>(14 + header.size() + layout.extra.size() + table.size());
    std::vector<uint8_t> file = {'B', 'M'};
    Le32(file, static_cast<uint32_t>(offset + layout.pixels.size()));
    Le32(file, 0);
    Le32(file, offset);
    file.insert(file.end(), header.begin(), header.end());
    file.insert(file.end(), layout.extra.begin(), layout.extra.end());
    file.insert(file.end(), table.begin(), table.end());
    file.insert(file.end(), layout.pixels.begin(), layout.pixels.end());
    return file;
}

std::vector<std::string> FileNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

RunResult RunTessarin(const std::vector<std::string>& args, const std::string& home,
                      const std::string& workDir, uint64_t fileSizeLimit) {
    RunOptions options;
    options.workDir = workDir;
    options.fileSizeLimit = fileSizeLimit;
    return RunTessarin(args, home, options);
}

RunResult RunTessarin(const std::vector<std::string>& args, const std::string& home,
                      const RunOptions& options) {
    int pipeFds[2], errorFds[2];
    if (::pipe(pipeFds) != 0 || ::pipe(errorFds) != 0) throw std::runtime_error("pipe");
    pid_t pid = ::fork();
    if (pid == 0) {
        if (options.outputPath.empty()) {
            ::dup2(pipeFds[1], STDOUT_FILENO);
        } else {
            const int fd = ::open(options.outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 || ::dup2(fd, STDOUT_FILENO) < 0) ::_exit(126);
            ::close(fd);
        }
        ::dup2(errorFds[1], STDERR_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        ::close(errorFds[0]);
        ::close(errorFds[1]);
        if (!options.workDir.empty() && ::chdir(options.workDir.c_str()) != 0) ::_exit(126);
        if (options.fileSizeLimit) {
            ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
            rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (options.addressSpaceLimit) {
            rlimit limit{options.addressSpaceLimit, options.addressSpaceLimit};
            ::setrlimit(RLIMIT_AS, &limit);
        }
        // A test process may ignore SIGPIPE; the program must not rely on it.
        ::signal(SIGPIPE, SIG_DFL);
        // No display: the command mode must not need one, and the window cannot open.
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("QT_QPA_PLATFORM");
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
        // The texts as written, whatever the locale of the machine running the tests.
        ::setenv("LC_ALL", "C.UTF-8", 1);
        ::unsetenv("LANGUAGE");
        for (const auto& [name, value] : options.environment)
            ::setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> argv;
        std::string exe = TESSARIN_EXE;
        argv.push_back(exe.data());
        std::vector<std::string> copies(args);
        for (std::string& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(exe.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    ::close(errorFds[1]);
    RunResult result;
    // Without a reader the program's first write finds the pipe closed.
    if (options.closeOutput) ::close(std::exchange(pipeFds[0], -1));
    // Both streams are read as they come, so neither pipe fills and stalls the program.
    pollfd streams[2] = {{pipeFds[0], POLLIN, 0}, {errorFds[0], POLLIN, 0}};
    std::string* into[2] = {&result.output, &result.errors};
    while (streams[0].fd >= 0 || streams[1].fd >= 0) {
        if (::poll(streams, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (streams[i].fd < 0 || !streams[i].revents) continue;
            char buffer[4096];
            const ssize_t got = ::read(streams[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                into[i]->append(buffer, static_cast<size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                ::close(streams[i].fd);
                streams[i].fd = -1;
            }
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return result;
}

std::string CaptureCommand(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    ::pclose(pipe);
    return out;
}

}  // namespace tessarin::testing
