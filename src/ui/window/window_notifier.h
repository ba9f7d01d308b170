#pragma once
// The engine's Notifier for the window: message boxes on the GUI thread,
// whichever thread reports.

#include "platform/notifier.h"

namespace tessarin {

class MainWindow;

class WindowNotifier : public Notifier {
  public:
    explicit WindowNotifier(MainWindow* window) : window_(window) {}
    void ShowError(const std::string& text) override;
    // The readers' only notice is the 16-bit BMP colour reduction, which the
    // user can hide with "16ビットBMPの減色確認メッセージを非表示(&M)".
    void ShowNotice(const std::string& text) override;

  private:
    MainWindow* window_;
};

}  // namespace tessarin
