#include "split/job_state.h"

#include "platform/text.h"

namespace tessarin {

void JobState::StoreError(std::string_view message) {
    std::string copy = TruncateUtf8(message, kMaxJobErrorChars);
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
