#pragma once
// The command mode's progress: one line per file on standard error, redrawn
// in place as tiles are written: tiles done / total, percent, elapsed time
// and the file's name, shortened in the middle to fit the terminal's width so
// that it never wraps. It ends with a line feed once the file is done.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

namespace tessarin {

class ProgressLine {
  public:
    void Start(const std::string& path);
    // From any worker, once per tile; redraws at most ten times a second.
    void Update(int64_t done, int64_t total);
    // The file is done: the last count, and the line is ended.
    void End(int64_t written);

  private:
    void Draw(int64_t done, const char* ending);  // under mutex_

    using Clock = std::chrono::steady_clock;
    std::mutex mutex_;
    std::string name_;
    Clock::time_point started_;
    Clock::time_point drawn_;
    int64_t total_ = 0;
    size_t width_ = 0;     // columns of the line drawn last, to blank what it leaves
    size_t columns_ = 80;  // of the terminal, read as each file starts
};

}  // namespace tessarin
