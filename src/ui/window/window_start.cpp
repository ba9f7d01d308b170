#include "ui/window/window_start.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/locale.h"
#include "ui/dialogs/message_presenter.h"
#include "ui/document/image_loading.h"
#include "ui/fonts.h"
#include "ui/translation.h"
#include "ui/window/icon_drop_start.h"
#include "ui/window/main_window.h"
#include "ui/window/window_placement.h"

namespace tessarin {

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Qt ends the process when it cannot reach a display; we say why instead.
bool DisplayReachable() {
    return IsSet("QT_QPA_PLATFORM") || IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/tessarin-%1.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace

std::unique_ptr<QTranslator> InstallQtTranslation(const QString& language) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_") + language,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator.get()))
        return nullptr;
    return translator;
}

int RunWindow(int& argc, char** argv, SplitSettings& settings, SettingsPaths& paths) {
    if (!DisplayReachable()) {
        std::fputs(Localized("Tessarin: ディスプレイが見つからないため、ウィンドウを開けません。"
                             "コマンド実行モードは最初の引数に「/cmd」を指定してください。\n",
                             "Tessarin: no display was found, so the window cannot open. "
                             "For the command mode, give \"/cmd\" as the first argument.\n"),
                   stderr);
        return -1;
    }
    // The window class on X11 and the application id on Wayland.
    QApplication::setApplicationName(QStringLiteral("tessarin"));
    QApplication::setDesktopFileName(QStringLiteral("tessarin"));
    QApplication app(argc, argv);  // takes its own options out of argv
    QApplication::setWindowIcon(ApplicationIcon());
    UseJapaneseFont();
    // The program's texts and Qt's own dialogs and buttons speak the language
    // of the locale: Japanese as written, English otherwise (Qt's own texts are
    // English already).
    const std::unique_ptr<QTranslator> texts = InstallProgramTranslation();
    const std::unique_ptr<QTranslator> qtTexts =
        WindowLanguage() == QLatin1String("ja") ? InstallQtTranslation(WindowLanguage()) : nullptr;

    // Files given on the command line (dropped on the program's icon) are
    // split at once when the user chose so; otherwise the first one is
    // opened for viewing.
    const std::vector<std::string> files(argv + 1, argv + argc);
    {
        BoxPresenter presenter;
        if (RunIconDropStart(files, settings, paths, presenter)) return 0;
    }

    MainWindow window(settings, paths);
    PlaceAndShow(window, paths.mainSettingsPath);
    // Without a window manager a new window gets no keyboard focus unless it
    // takes it (Qt does once the window is on screen).
    window.activateWindow();
    window.raise();
    window.ApplyInitialZoom();
    if (!files.empty()) window.OpenForViewing(files.front());
    const int code = QApplication::exec();
    // A load only reads: one that does not stop at once (a format read in
    // one go) is not waited for. Nothing else runs beside a load.
    if (!window.Loading().StopWithin(std::chrono::milliseconds(300))) std::_Exit(code);
    return code;
}

}  // namespace tessarin
