#pragma once
// How the engine tells the user something. The window implements it with
// message boxes; tests record the texts. The command mode has none, so
// nothing in that mode asks or tells through a window.
//
// Readers never call it: a load returns its notices, and whoever loaded
// shows them. Split runners call it from whatever thread they run on: an
// implementation must be safe to call from any thread (the window's hands
// the text to its GUI thread).

#include <string>

namespace tessarin {

class Notifier {
  public:
    virtual ~Notifier() = default;
    // An error box: caption "エラー", error icon.
    virtual void ShowError(const std::string& text) = 0;
    // A notice that does not wait for the user: caption "確認", OK only.
    virtual void ShowNotice(const std::string& text) = 0;
};

}  // namespace tessarin
