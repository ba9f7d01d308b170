// The run-time half of the layout check (the build's is in CMakeLists.txt):
// libjpeg has no call that says which libjpeg-turbo it is, but every build of
// it carries the text "libjpeg-turbo version X.Y.Z" among its constants. It is
// looked for in the loaded object that holds the library's message table, and
// must name the version the program was built against.

#include "imaging/jpeg/jpeg_library_check.h"

#include <link.h>

#include <atomic>
#include <string>
#include <string_view>

#include "imaging/jpeg/jpeg_private.h"

#define TESSARIN_STRINGIFY_VALUE(x) #x
#define TESSARIN_STRINGIFY(x) TESSARIN_STRINGIFY_VALUE(x)

namespace tessarin::jpeg {

namespace {

// -1: the real check; 0 or 1: the answer tests force.
std::atomic<int> forced{-1};

#ifdef TESSARIN_JPEG_LAYOUT_VERIFIED
struct VersionSearch {
    uintptr_t inside;  // an address of the library's constants
    std::string version;
};

// The version in the loaded object that holds `inside`, from its read-only
// segments.
int FindVersion(dl_phdr_info* info, size_t, void* data) {
    auto* search = static_cast<VersionSearch*>(data);
    bool holds = false;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        const uintptr_t begin = info->dlpi_addr + segment.p_vaddr;
        if (segment.p_type == PT_LOAD && search->inside >= begin &&
            search->inside - begin < segment.p_memsz)
            holds = true;
    }
    if (!holds) return 0;
    constexpr std::string_view kNeedle = "libjpeg-turbo version ";
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD || !(segment.p_flags & PF_R) || (segment.p_flags & PF_W))
            continue;
        const std::string_view bytes(
            reinterpret_cast<const char*>(info->dlpi_addr + segment.p_vaddr), segment.p_filesz);
        // The version follows the text where it is the library's own (the
        // text alone may be ours, when the library is linked in).
        for (size_t at = bytes.find(kNeedle); at != std::string_view::npos;
             at = bytes.find(kNeedle, at + 1)) {
            const std::string_view rest = bytes.substr(at + kNeedle.size());
            if (rest.empty() || rest[0] < '0' || rest[0] > '9') continue;
            search->version = std::string(rest.substr(0, rest.find_first_of(" \n")));
            return 1;
        }
    }
    return 1;
}

bool LoadedVersionMatches() {
    jpeg_error_mgr errors;
    jpeg_std_error(&errors);
    VersionSearch search{reinterpret_cast<uintptr_t>(errors.jpeg_message_table), {}};
    dl_iterate_phdr(&FindVersion, &search);
    return search.version == TESSARIN_STRINGIFY(LIBJPEG_TURBO_VERSION);
}
#endif

}  // namespace

bool PrivateLayoutVerified() {
    const int answer = forced.load();
    if (answer >= 0) return answer != 0;
#ifdef TESSARIN_JPEG_LAYOUT_VERIFIED
    static const bool matches = LoadedVersionMatches();
    return matches;
#else
    return false;
#endif
}

void ForcePrivateLayoutAnswerForTesting(std::optional<bool> answer) {
    forced.store(answer ? (*answer ? 1 : 0) : -1);
}

}  // namespace tessarin::jpeg
