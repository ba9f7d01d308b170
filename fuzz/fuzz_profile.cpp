// The settings-file parser: any bytes parse; a value written reads back.
#include <cstdlib>
#include <string>

#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessarin;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ProfileDocument doc = ParseProfile(bytes);
    doc.GetString("CUT_SIZE", "WIDTH_PER", "0");
    doc.GetInt("OPTION", "NUM_THREAD", 1);
    // Use the tail of the input as a value; when it can be written it must read back.
    std::string value(bytes.substr(size / 2, 40));
    if (doc.Set("FNAME_RULE", "FIRST_NO", value)) {
        ProfileDocument again = ParseProfile(doc.Serialize());
        auto read = again.Find("FNAME_RULE", "FIRST_NO");
        if (!read || *read != value) std::abort();
    }
    return 0;
}
