#pragma once
// Whether the two-thread progressive decode may reach into the library's
// private coefficient controller: only when the program was built against,
// and runs with, a libjpeg-turbo version whose layout of it was checked.

#include <optional>

namespace tessarin::jpeg {

// Built against a checked version, and the library loaded now is that version.
bool PrivateLayoutVerified();

// For tests: the check answers `answer` instead (nullopt: the real check).
void ForcePrivateLayoutAnswerForTesting(std::optional<bool> answer);

}  // namespace tessarin::jpeg
