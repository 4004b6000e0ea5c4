#pragma once
// Every window test runs under this guard: a modal window that nobody answers (an error box that
// a fault raised, a dialog a test forgot) fails the test and is closed after a short wait, so the
// test fails in seconds instead of waiting for the ctest timeout.

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

namespace quillon::test {

class ModalGuard : public ::testing::EmptyTestEventListener {
public:
    // A message box is answered by the tests within milliseconds; other dialogs (a preview run
    // with exec) may stay open while a test drives them.
    static constexpr int kMessageBoxMs = 3000;
    static constexpr int kDialogMs = 15000;

    ModalGuard()
    {
        m_timer.setInterval(100);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { check(); });
    }
    void OnTestStart(const ::testing::TestInfo&) override
    {
        m_window = nullptr;
        m_timer.start();
    }
    void OnTestEnd(const ::testing::TestInfo&) override { m_timer.stop(); }

private:
    void check()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != m_window) {
            m_window = modal;
            m_since.start();
            return;
        }
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!modal || m_since.elapsed() < (box ? kMessageBoxMs : kDialogMs))
            return;
        ADD_FAILURE() << "a modal window was left unanswered: " << modal->metaObject()->className() << " \""
                      << (box ? box->text() : modal->windowTitle()).toStdString() << "\"";
        m_window = nullptr;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }

    QTimer m_timer;
    QPointer<QWidget> m_window;
    QElapsedTimer m_since;
};

} // namespace quillon::test
