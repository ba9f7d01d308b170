#pragma once
// Console output of the command mode: UTF-8 lines on standard output, written
// at once. A write error other than a closed pipe is said on standard error
// ("tessarin: write error: ...") the first time and remembered; the lines
// that follow are still tried.

#include <string>

namespace tessarin {

// Writes text as it is.
void ConsoleWrite(const std::string& text);
// Whether a write to standard output failed other than by a closed pipe:
// the run's exit status is then 1, as with coreutils.
bool ConsoleOutputFailed();
// The same on standard error.
void ConsoleWriteError(const std::string& text);
// The width of the terminal standard error shows on; else $COLUMNS; else 80.
size_t TerminalColumns();
// "tessarin: text\n" on standard error, control characters escaped: a
// warning or an error in the form GNU tools give them.
void ConsoleWarn(const std::string& text);
// "【MM/DD/hh:mm:ss】text\n" with the local time. Control characters in the
// text are shown escaped, so that a line is always one line, whatever a file
// name holds.
void ConsoleLog(const std::string& text);
std::string ConsoleLine(const std::string& text);
// Bytes below 0x20 and 0x7F as "\n", "\r", "\t" or "\xHH", and "\" itself as
// "\\", so that every escaped text reads back one way; the rest as it is.
std::string EscapeControlCharacters(const std::string& text);

}  // namespace tessarin
