#include "app/progress_line.h"

#include <cstdio>

#include "platform/console.h"
#include "platform/locale.h"
#include "platform/text.h"

namespace tessarin {

namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

}  // namespace

void ProgressLine::Start(const std::string& path) {
    std::lock_guard<std::mutex> guard(mutex_);
    name_ = EscapeControlCharacters(path);
    started_ = drawn_ = Clock::now();
    total_ = 0;
    width_ = 0;
    columns_ = TerminalColumns();
    Draw(0, "");
}

void ProgressLine::Update(int64_t done, int64_t total) {
    std::unique_lock<std::mutex> guard(mutex_, std::try_to_lock);
    // A worker never waits for another's drawing: the next tile redraws.
    if (!guard.owns_lock()) return;
    total_ = total;
    const Clock::time_point now = Clock::now();
    if (now - drawn_ < kRedrawEvery) return;
    drawn_ = now;
    Draw(done, "");
}

void ProgressLine::End(int64_t written) {
    std::lock_guard<std::mutex> guard(mutex_);
    Draw(written, "\n");
}

void ProgressLine::Draw(int64_t done, const char* ending) {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started_).count();
    char counts[128];
    if (total_ > 0)
        std::snprintf(counts, sizeof counts, "%lld / %lld %s %3lld%% %lld:%02lld ",
                      static_cast<long long>(done), static_cast<long long>(total_),
                      Localized("タイル", "tiles"), static_cast<long long>(done * 100 / total_),
                      static_cast<long long>(seconds / 60), static_cast<long long>(seconds % 60));
    else
        std::snprintf(counts, sizeof counts, "%lld %s %lld:%02lld ", static_cast<long long>(done),
                      Localized("タイル", "tiles"), static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    // A line that reached the last column would wrap on some terminals, and
    // "\r" would then redraw only its second half.
    const size_t room = columns_ > 1 ? columns_ - 1 : 1;
    const size_t countsWidth = DisplayColumns(counts);
    std::string line = counts + ShortenMiddle(name_, room > countsWidth ? room - countsWidth : 0);
    const size_t width = DisplayColumns(line);
    if (width < width_) line.append(width_ - width, ' ');
    width_ = width;
    ConsoleWriteError("\r" + line + ending);
}

}  // namespace tessarin
