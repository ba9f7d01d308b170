#pragma once
// Driving modal dialogs from a test: answers scheduled before the command that
// opens them, typing that replaces a field's text, and the controls by id.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

namespace tessarin::testing {

// Calls `open`, and runs `answer` on the modal dialog of type D that `open`
// shows (inside that dialog's event loop). A dialog the answer leaves open is
// cancelled and a dialog that never comes fails the test, so a failing test
// never waits for a user.
template <class D = QDialog>
void Answering(const std::function<void(D&)>& answer, const std::function<void()>& open) {
    QTimer timer;
    timer.setInterval(5);
    bool answered = false;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        timer.stop();
        answered = true;
        answer(*dialog);
        if (dialog->isVisible()) {
            ADD_FAILURE() << "dialog left open: " << dialog->windowTitle().toStdString();
            dialog->reject();
        }
    });
    timer.start();
    open();
    EXPECT_TRUE(answered) << "no dialog came";
}

template <class W = QWidget>
W* ControlOf(const QWidget& dialog, int id) {
    W* control = dialog.findChild<W*>(QString::number(id));
    EXPECT_NE(control, nullptr) << "no control " << id;
    return control;
}

// Selects the field's text and types `text` over it, key by key.
inline void Retype(QWidget* field, const QString& text) {
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    for (QChar c : text) QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), {});
}

inline void PressOk(QDialog& dialog) { ControlOf<QPushButton>(dialog, 1)->click(); }
inline void PressCancel(QDialog& dialog) { ControlOf<QPushButton>(dialog, 2)->click(); }

}  // namespace tessarin::testing
