#pragma once
// Storing a reader's failure message where an allocation failure must not
// escape: the readers and tile-source preparations end every exception in a
// message of their own.

#include <string>

#include "imaging/messages.h"

namespace tessarin {

// Copies `message` into `error`; when even that cannot be had, `error` is left
// empty and the caller's default message applies.
inline void SetFailureText(std::string& error, const char* message) noexcept {
    try {
        error = message;
    } catch (...) {
        error.clear();
    }
}

}  // namespace tessarin
