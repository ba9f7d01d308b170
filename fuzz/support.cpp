#include "support.h"

#include <unistd.h>

#include <cstdio>
#include <map>

namespace tessarin::fuzz {

const std::string& InputFile(const uint8_t* data, size_t size, const char* extension) {
    static std::map<std::string, std::string> paths;
    std::string& path = paths[extension];
    if (path.empty()) {
        const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        path = std::string(dir) + "/tessarin-fuzz-" + std::to_string(getpid()) + extension;
    }
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return path;
}

}  // namespace tessarin::fuzz
