#pragma once
// Console output of the command mode: UTF-8 lines on standard output, flushed
// per line; write errors are ignored.

#include <string>

namespace tessarin {

// Writes text as it is.
void ConsoleWrite(const std::string& text);
// "【MM/DD/hh:mm:ss】text\n" with the local time.
void ConsoleLog(const std::string& text);
std::string ConsoleLine(const std::string& text);

}  // namespace tessarin
