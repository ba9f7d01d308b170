#pragma once
// Running an outside program and waiting for it.

#include <string>
#include <vector>

namespace tessarin {

// Runs args[0] with the arguments args[1..] (no shell: each argument reaches
// the program exactly as given) and waits for it to end. A bare program name
// is looked for in the folder of the running program first, then on PATH; a
// name with a "/" is used as it stands. Standard input is `input` when that
// is an open descriptor (which stays open here; the program reads it from
// its present offset), else /dev/null; standard output and error output are
// discarded. The program is killed if the calling
// thread (and so this process) ends before it does. True exactly when the
// program was started and exited normally with code 0. Never throws.
[[nodiscard]] bool RunExternalCommand(const std::vector<std::string>& args,
                                      int input = -1) noexcept;

}  // namespace tessarin
