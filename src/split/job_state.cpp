#include "split/job_state.h"

#include <algorithm>

namespace tessarin {

namespace {

constexpr size_t kMaxErrorChars = 1023;
// Room for that many characters of four bytes; malformed text with longer
// runs of continuation bytes is cut there.
constexpr size_t kMaxErrorBytes = kMaxErrorChars * 4;

// Bytes of the first `maxChars` UTF-8 characters of `text`.
size_t Utf8PrefixBytes(std::string_view text, size_t maxChars) {
    size_t chars = 0;
    size_t i = 0;
    while (i < text.size()) {
        if (chars == maxChars) return i;
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
        ++chars;
    }
    return text.size();
}

}  // namespace

std::string TruncateUtf8(std::string_view text, size_t maxChars) {
    return std::string(text.substr(0, Utf8PrefixBytes(text, maxChars)));
}

JobState::JobState() { text_.reserve(kMaxErrorBytes); }

void JobState::StoreError(std::string_view message) noexcept {
    const size_t bytes = std::min(Utf8PrefixBytes(message, kMaxErrorChars), kMaxErrorBytes);
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
