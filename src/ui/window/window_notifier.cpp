#include "ui/window/window_notifier.h"

#include <QThread>

#include "ui/dialogs/message_presenter.h"
#include "ui/preferences_model.h"
#include "ui/translation.h"
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
        if (!window->Preferences().On(Preference::NoBmp16Notice))
            window->Messages().ShowNotice(window, Translated(text));
    });
}

}  // namespace tessarin
