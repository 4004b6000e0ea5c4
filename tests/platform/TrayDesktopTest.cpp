// quillon-print on a real X desktop: Xvfb, the openbox window manager and the trayer tray host,
// with the private CUPS scheduler. The icon is found and clicked as a user would, with xdotool.

#include "core/TestFiles.h"
#include "CupsTest.h"
#include "PdfTools.h"
#include "RenderProcess.h"

#include "XDesktop.h"

#include <QRect>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace quillon::test;
namespace fs = std::filesystem;

namespace {

struct IconPlace {
    bool found = false;
    int x = 0;
    int y = 0;
};

class TrayDesktop : public CupsTest {
protected:
    void SetUp() override
    {
        if (const QString missing = XDesktop::missingTool({"trayer"}); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString() << " is not installed (apt-get install xvfb trayer openbox xdotool x11-utils)";
        CupsTest::SetUp();
        if (!ready())
            return;
        env = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, value] : privateHome())
            env.insert(name, value);
        fs::create_directories(dir.file("spool"));
        std::ofstream(dir.file("config/Terlo/QuillonPrint.conf"))
            << "[General]\nPollingFreq=2\nPreview=OFF\nPeekPath0=" << dir.file("spool/*.prn") << "\n";
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.remove("DBUS_SESSION_BUS_ADDRESS"); // the icon docks into trayer, not a desktop shell
        env.remove("WAYLAND_DISPLAY");

        const std::string failed = desktop.start(env);
        ASSERT_EQ(failed, "");
        trayHost = start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request",
                                    "--height", "24", "--transparent", "false"});
        ASSERT_TRUE(waitFor([&] { return !tool("xdotool", {"search", "--class", "trayer"}).isEmpty(); }, 30000))
            << "trayer did not start (" << (trayHost->state() == QProcess::NotRunning ? "ended" : "running")
            << "): " << trayHost->readAll().toStdString();
    }

    void TearDown() override
    {
        XDesktop::stop(program);
        XDesktop::stop(trayHost);
    }

    std::unique_ptr<QProcess> start(const QString& name, const QStringList& args) { return desktop.run(name, args); }
    QString tool(const QString& name, const QStringList& args) { return desktop.tool(name, args); }
    bool visibleWindow(const QString& title) { return !desktop.visibleWindow(title).isEmpty(); }

    // The program's small window docked in the tray: its class, a size of an icon, mapped.
    IconPlace icon()
    {
        const QString tree = tool("xwininfo", {"-root", "-tree"});
        QRegularExpression re(R"re(0x[0-9a-f]+ "[^"]*": \("quillon-print" "Quillon Print"\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+))re");
        auto it = re.globalMatch(tree);
        while (it.hasNext()) {
            auto m = it.next();
            const int w = m.captured(1).toInt();
            const int h = m.captured(2).toInt();
            if (w >= 8 && w <= 64 && h >= 8 && h <= 64 && m.captured(3).toInt() >= 0)
                return {true, m.captured(3).toInt() + w / 2, m.captured(4).toInt() + h / 2};
        }
        return {};
    }

    // The program's popup menu (or a drop-down's open list) on screen: a visible window of its
    // class wider than high.
    QRect popupMenu()
    {
        for (const QString& id : tool("xdotool", {"search", "--onlyvisible", "--classname", "quillon-print"}).split('\n')) {
            if (id.isEmpty())
                continue;
            const QString info = tool("xwininfo", {"-id", id});
            auto number = [&](const char* label) {
                auto m = QRegularExpression(QString(label) + R"(:\s+(-?\d+))").match(info);
                return m.hasMatch() ? m.captured(1).toInt() : 0;
            };
            const QRect r(number("Absolute upper-left X"), number("Absolute upper-left Y"), number("Width"),
                          number("Height"));
            if (r.width() > 150 && r.height() > 60 && r.height() < 300 && r.width() > r.height())
                return r;
        }
        return {};
    }

    // What the desktop and the program show, for a failure's message.
    std::string scene()
    {
        desktop.program = std::move(program);
        const std::string shown = desktop.scene("tray-failure");
        program = std::move(desktop.program);
        return shown;
    }

    QProcessEnvironment env;
    XDesktop desktop;
    std::unique_ptr<QProcess> trayHost, program;
};

} // namespace

TEST_F(TrayDesktop, IconAppearsAFileIsPrintedOnceTheSettingsChangeFromTheIconAndItsMenuEndsTheProgram)
{
    program = start(QUILLON_PRINT, {});
    ASSERT_TRUE(waitFor([&] { return icon().found; }, 15000)) << "no icon in the tray\n" << program->readAll().toStdString();
    EXPECT_TRUE(waitFor([&] { return !visibleWindow("MainForm"); }, 5000)) << "the main window hides itself";

    // A spool file dropped into the watched folder: printed once and removed.
    writeFile(dir.file("spool/job.prn"), std::vector<uint8_t>{'Z', 'a', 0xbe, 0xa2, 0x88, 0x86, ' ', 'g', 0xa9, 0x98, 'l', 0xa5, '\r', '\n'});
    auto jobs = cups.waitForJobs("capture", 1, 30000);
    ASSERT_EQ(jobs.size(), 1u) << program->readAll().toStdString();
    EXPECT_NE(pdfText(jobs[0].documentPath).find("Zażółć gęślą"), std::string::npos);
    EXPECT_TRUE(waitFor([&] { return !fs::exists(dir.file("spool/job.prn")); }, 10000));
    QThread::msleep(5000); // two more ticks
    EXPECT_EQ(cups.waitForJobs("capture", 2, 500).size(), 1u) << "printed once";

    // A double click on the icon opens the settings dialog. A single click does nothing, so on a
    // machine too busy to deliver the two clicks close enough together the user simply tries again.
    IconPlace at = icon();
    ASSERT_TRUE(at.found);
    bool opened = false;
    for (int attempt = 0; attempt < 3 && !opened; ++attempt) {
        tool("xdotool", {"mousemove", QString::number(at.x), QString::number(at.y), "click", "--repeat", "2", "--delay", "100", "1"});
        opened = waitFor([&] { return visibleWindow("Qvp Print (parametry)"); }, 8000);
    }
    ASSERT_TRUE(opened) << "no settings dialog\n" << scene();

    // Changed and confirmed with OK: the stored settings say so.
    const QString dialog = tool("xdotool", {"search", "--onlyvisible", "--name", "^Qvp Print \\(parametry\\)$"}).section('\n', 0, 0);
    auto clickIn = [&](int x, int y) {
        tool("xdotool", {"mousemove", "--window", dialog, QString::number(x), QString::number(y), "click", "1"});
    };
    clickIn(30, 302); // "Pejzaż (poziomo)"
    clickIn(21, 35);  // the slider's handle, at 2 s
    EXPECT_TRUE(waitFor([&] { return tool("xdotool", {"getwindowfocus", "getwindowname"}) == "Qvp Print (parametry)"; }, 5000))
        << "the keys would go elsewhere\n" << scene();
    tool("xdotool", {"key", "End"}); // the slider to 10 s
    clickIn(137, 358); // the emulation's list opens
    QRect list;
    ASSERT_TRUE(waitFor([&] { return !(list = popupMenu()).isEmpty(); }, 5000)) << "no list\n" << scene();
    // Its last entry of three, "Epson LQ (24 igły)".
    tool("xdotool", {"mousemove", QString::number(list.center().x()), QString::number(list.y() + list.height() * 5 / 6), "click", "1"});
    EXPECT_TRUE(waitFor([&] { return popupMenu().isEmpty(); }, 5000)) << "the list stays\n" << scene();
    clickIn(314, 400); // "OK"
    EXPECT_TRUE(waitFor([&] { return !visibleWindow("Qvp Print (parametry)"); }, 10000)) << "the dialog stays\n" << scene();
    // The values are stored one by one after the dialog has gone, the emulation last.
    RenderRun shown;
    EXPECT_TRUE(waitFor([&] {
        shown = runRender({"--settings"}, {{"HOME", qs(dir.file("home"))}, {"XDG_CONFIG_HOME", qs(dir.file("config"))}});
        return shown.out.find("Emulation=lq\n") != std::string::npos;
    }, 10000)) << shown.out;
    EXPECT_NE(shown.out.find("PollingFreq=10\n"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("PageOrient=L\n"), std::string::npos) << shown.out;

    // "Zakończ" from the icon's menu ends the program and takes the icon away, writing nothing.
    const std::vector<uint8_t> stored = readFile(dir.file("config/Terlo/QuillonPrint.conf"));
    at = icon();
    ASSERT_TRUE(at.found);
    // The menu pops when the right button is released, not while it is held.
    tool("xdotool", {"mousemove", QString::number(at.x), QString::number(at.y), "mousedown", "3"});
    QThread::msleep(500);
    EXPECT_TRUE(popupMenu().isEmpty()) << "the menu popped on the press";
    tool("xdotool", {"mouseup", "3"});
    QRect menu;
    ASSERT_TRUE(waitFor([&] { return !(menu = popupMenu()).isEmpty(); }, 10000)) << "no menu\n" << scene();
    tool("xdotool", {"mousemove", QString::number(menu.x() + menu.width() / 2), QString::number(menu.y() + menu.height() * 7 / 8), "click", "1"});
    ASSERT_TRUE(program->waitForFinished(10000)) << "the program runs on\n" << scene();
    EXPECT_EQ(program->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program->exitCode(), 0) << program->readAll().toStdString();
    EXPECT_FALSE(icon().found);
    EXPECT_EQ(readFile(dir.file("config/Terlo/QuillonPrint.conf")), stored);
}
