#pragma once
// For the window benchmarks: answers Yes, shows nothing, keeps the result.

#include <cstdio>
#include <string>

#include "ui/dialogs/message_presenter.h"

namespace tessarin {

struct QuietPresenter : MessagePresenter {
    void ShowError(QWidget*, const QString& text) override {
        std::fprintf(stderr, "error: %s\n", qPrintable(text));
    }
    void ShowNotice(QWidget*, const QString&) override {}
    bool AskYesNo(QWidget*, const QString&) override { return true; }
    void Tell(QWidget*, const QString&) override {}
    void ShowResult(QWidget*, const QString& message, const std::string&) override {
        result = message.toStdString();
    }
    void ShowResultList(QWidget*, const QString&, bool, const std::string&) override {}
    std::string result;
};

}  // namespace tessarin
