#include "ui/window/window_notifier.h"

#include <QThread>

#include "ui/dialogs/message_presenter.h"
#include "ui/translation.h"
#include "ui/window/command_ids.h"
#include "ui/window/main_window.h"

namespace tessarin {

namespace {

// Runs `show` on the window's thread: at once there, queued from any other.
template <class Show>
void OnGuiThread(MainWindow* window, Show show) {
    if (QThread::currentThread() == window->thread())
        show();
    else
        QMetaObject::invokeMethod(window, show, Qt::QueuedConnection);
}

QString Translated(const std::string& text) { return EngineText(text); }

}  // namespace

void WindowNotifier::ShowError(const std::string& text) {
    MainWindow* window = window_;
    OnGuiThread(window, [window, text] { window->Messages().ShowError(window, Translated(text)); });
}

void WindowNotifier::ShowNotice(const std::string& text) {
    MainWindow* window = window_;
    OnGuiThread(window, [window, text] {
        if (!window->IsChecked(cmd::kNoBmp16Notice))
            window->Messages().ShowNotice(window, Translated(text));
    });
}

}  // namespace tessarin
