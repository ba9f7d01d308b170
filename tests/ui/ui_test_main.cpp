// The window's tests run without a display: the offscreen platform unless
// the caller chose another.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

#include "ui/fonts.h"

namespace {

// The offscreen platform says at every window what it cannot do.
void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QStringLiteral("This plugin does not support"))) return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(QuietMessages);
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The texts as written, whatever the locale of the machine running the
    // tests; the English tests choose their language themselves.
    qputenv("LC_ALL", "C.UTF-8");
    qunsetenv("LANGUAGE");
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    tessarin::UseJapaneseFont();
    return RUN_ALL_TESTS();
}
