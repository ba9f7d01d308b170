#pragma once
// A Notifier that keeps what it was asked to show.

#include <string>
#include <vector>

#include "platform/notifier.h"

namespace tessarin::testing {

struct RecordingNotifier : Notifier {
    void ShowError(const std::string& text) override { errors.push_back(text); }
    void ShowNotice(const std::string& text) override { notices.push_back(text); }
    std::vector<std::string> errors;
    std::vector<std::string> notices;
};

}  // namespace tessarin::testing
