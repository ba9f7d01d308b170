#pragma once
// Console output of the command mode: UTF-8 lines on standard output, flushed
// per line; write errors are ignored.

#include <string>

namespace tessarin {

// Writes text as it is.
void ConsoleWrite(const std::string& text);
// The same on standard error.
void ConsoleWriteError(const std::string& text);
// "tessarin: text\n" on standard error, control characters escaped: a
// warning or an error in the form GNU tools give them.
void ConsoleWarn(const std::string& text);
// "【MM/DD/hh:mm:ss】text\n" with the local time. Control characters in the
// text are shown escaped, so that a line is always one line, whatever a file
// name holds.
void ConsoleLog(const std::string& text);
std::string ConsoleLine(const std::string& text);
// Bytes below 0x20 and 0x7F as "\n", "\r", "\t" or "\xHH"; the rest as it is.
std::string EscapeControlCharacters(const std::string& text);

}  // namespace tessarin
