#include "split/job_state.h"

#include <algorithm>

#include "platform/text.h"

namespace tessarin {

namespace {
// Room for the longest text in characters of four bytes; malformed text with
// longer runs of continuation bytes is cut there.
constexpr size_t kMaxJobErrorBytes = kMaxJobErrorChars * 4;
}  // namespace

JobState::JobState() { text_.reserve(kMaxJobErrorBytes); }

void JobState::StoreError(std::string_view message) noexcept {
    const size_t bytes = std::min(Utf8PrefixLength(message, kMaxJobErrorChars), kMaxJobErrorBytes);
    std::lock_guard<std::mutex> lock(mutex_);
    text_.assign(message.data(), bytes);  // within the reserved room: no allocation
}

void JobState::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    text_.clear();
}

std::string JobState::ErrorText() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return text_;
}

bool JobState::Failed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !text_.empty();
}

}  // namespace tessarin
