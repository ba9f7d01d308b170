#include "split/job_state.h"

namespace tessarin {

namespace {
constexpr size_t kMaxErrorChars = 1023;
}

std::string TruncateUtf8(std::string_view text, size_t maxChars) {
    size_t chars = 0;
    size_t i = 0;
    while (i < text.size()) {
        if (chars == maxChars) return std::string(text.substr(0, i));
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
        ++chars;
    }
    return std::string(text);
}

void JobState::StoreError(std::string_view message) {
    std::string copy = TruncateUtf8(message, kMaxErrorChars);
    std::lock_guard<std::mutex> lock(mutex_);
    text_ = std::move(copy);
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
