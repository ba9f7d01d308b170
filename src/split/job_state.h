#pragma once
// The job error text: the failure message of the file being loaded or split.
// Every store copies a whole message over the old one under the job-state
// lock, so the last message stored wins; empty after a file means success.

#include <mutex>
#include <string>
#include <string_view>

namespace tessarin {

// The longest job error text, in characters.
inline constexpr size_t kMaxJobErrorChars = 1023;

class JobState {
  public:
    JobState();
    // Never throws, so that a worker can report even a memory shortage: the
    // text's room is reserved once, up front.
    void StoreError(std::string_view message) noexcept;
    void Clear();
    std::string ErrorText() const;
    bool Failed() const;

  private:
    mutable std::mutex mutex_;  // the job-state lock
    std::string text_;
};

}  // namespace tessarin
