#pragma once
// A private X desktop for tests of the real program's windows: Xvfb on a display number nobody
// else uses, with the openbox window manager; xdotool and xwininfo look at it as a user would.

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include <unistd.h>

namespace quillon::test {

// Waits until done() holds or the time is up, letting this process's events in meanwhile (a
// D-Bus service of the test answers from them). True when done() held.
inline bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (done())
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(50);
    }
    return done();
}

class XDesktop {
public:
    // The tools a test of it needs; the first one missing, or "".
    static QString missingTool(const QStringList& more = {})
    {
        for (const QString& tool : QStringList{"Xvfb", "openbox", "xdotool", "xwininfo", "xprop"} + more)
            if (QStandardPaths::findExecutable(tool).isEmpty())
                return tool;
        return {};
    }

    ~XDesktop()
    {
        for (auto* p : {&program, &windowManager, &xvfb})
            stop(*p);
    }

    // Starts the display and its window manager; env gains DISPLAY. Empty, or what failed.
    std::string start(QProcessEnvironment& environment)
    {
        env = environment;
        // Xvfb takes a display number nobody uses and tells it: two tests started at once never
        // share a server.
        xvfb = run("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
        QRegularExpression number(R"(^(\d+)$)", QRegularExpression::MultilineOption);
        QString said;
        if (!waitFor([&] {
                xvfb->waitForReadyRead(50);
                said += QString::fromLocal8Bit(xvfb->readAll());
                return number.match(said).hasMatch();
            }, 10000))
            return "Xvfb did not start: " + said.toStdString();
        env.insert("DISPLAY", ":" + number.match(said).captured(1));
        environment = env;
        windowManager = run("openbox", {});
        // It may take a while on a busy machine.
        if (!waitFor([&] { return tool("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id"); }, 30000))
            return "openbox did not start: " + windowManager->readAll().toStdString();
        return {};
    }

    std::unique_ptr<QProcess> run(const QString& name, const QStringList& args) const
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->start(name, args);
        p->waitForStarted();
        return p;
    }

    static void stop(std::unique_ptr<QProcess>& p)
    {
        if (!p)
            return;
        p->terminate();
        if (!p->waitForFinished(5000))
            p->kill();
        p->waitForFinished(2000);
        p.reset();
    }

    QString tool(const QString& name, const QStringList& args) const
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(name, args);
        p.waitForFinished(10000);
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }

    // The first visible window of exactly this title, or "".
    QString visibleWindow(const QString& title) const
    {
        return tool("xdotool", {"search", "--onlyvisible", "--name", "^" + QRegularExpression::escape(title) + "$"})
            .section('\n', 0, 0);
    }

    // Gives the window the keyboard and types the keys into it.
    void typeInto(const QString& window, const QString& keys) const
    {
        tool("xdotool", {"windowactivate", "--sync", window});
        tool("xdotool", {"key", "--clearmodifiers", keys});
    }

    // The whole screen as NAME.png in the folder QUILLON_TEST_SHOTS names, if it names one.
    void screenshot(const QString& name) const
    {
        if (const char* shots = std::getenv("QUILLON_TEST_SHOTS"))
            tool("import", {"-window", "root", QString::fromLocal8Bit(shots) + "/" + name + ".png"});
    }

    // What the desktop and the program show, for a failure's message.
    std::string scene(const QString& shotName)
    {
        screenshot(shotName + "-" + QString::number(::getpid()));
        return ("windows:\n" + tool("xwininfo", {"-root", "-tree"}) + "\nfocus: " + tool("xdotool", {"getwindowfocus", "getwindowname"})
                + "\nprogram:\n" + (program ? QString::fromLocal8Bit(program->readAll()) : QString()))
            .toStdString();
    }

    QProcessEnvironment env;
    std::unique_ptr<QProcess> xvfb, windowManager, program;
};

} // namespace quillon::test
