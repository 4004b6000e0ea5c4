// The tray program's windows on the offscreen platform: the settings dialog's mapping, the
// settings command with its interval rule, the menu band, start-up with a damaged settings file
// and the About box.

#include "AboutForm.h"
#include "QuillonVersion.h"
#include "MainForm.h"
#include "ParsForm.h"
#include "SettingsAccess.h"
#include "TrayMenu.h"
#include "WatcherService.h"

#include "PreviewTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

using namespace quillon;
using namespace quillon::test;

namespace {

std::string settingsFile()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Terlo";
    QDir().mkpath(dir);
    return (dir + "/QuillonPrint.conf").toStdString();
}

void writeSettings(const std::string& text)
{
    std::ofstream(settingsFile(), std::ios::trunc) << "[General]\n" << text;
}

std::string readSettingsFile()
{
    std::ifstream in(settingsFile());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Closes the message box that says the desktop has no notification area (offscreen has none).
void closeNoTrayBox()
{
    QCoreApplication::processEvents();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
            box->close();
}

ParsControls listsOf(QStringList fonts)
{
    ParsControls c;
    c.fontNames = std::move(fonts);
    c.sizes = fontSizeEntries();
    return c;
}

QRgb rgb(int r, int g, int b)
{
    return qRgb(r, g, b);
}

} // namespace

TEST(ParsControls, ReadFallsBackFromTheStoredFontToCourierNewToTheFirstAndLimitsTheValues)
{
    TSettings s;
    s.FontName = "liberation MONO";
    s.FontSize = 7;
    s.PollingFreq = 1;
    s.PageOrient = "L";
    s.Preview = true;
    s.PeekPaths = {"/a/*.prn", "/b/*.PRN"};
    s.Emulation = PrinterEmulation::Lq;
    ParsControls c = listsOf({"Courier New", "DejaVu Sans Mono", "Liberation Mono"});
    readControls(s, c);
    EXPECT_EQ(emulationEntries().value(c.emulationIndex), "Epson LQ (24 igły)");
    EXPECT_EQ(c.fontIndex, 2) << "found whatever the letter case";
    EXPECT_EQ(c.sizes[c.sizeIndex], " 7 pkt");
    EXPECT_EQ(c.slider, 2);
    EXPECT_TRUE(c.landscape);
    EXPECT_TRUE(c.preview);
    EXPECT_EQ(c.pathLines, QStringList({"/a/*.prn", "/b/*.PRN"}));

    s.FontName = "Nie Ma Takiej";
    s.FontSize = 20; // no entry: the last one
    s.PollingFreq = 60;
    s.PageOrient = "l"; // only an upper-case L is landscape
    s.Preview = false;
    readControls(s, c);
    EXPECT_EQ(c.fontIndex, 0) << "Courier New";
    EXPECT_EQ(c.sizes[c.sizeIndex], "12 pkt");
    EXPECT_EQ(c.slider, 10);
    EXPECT_FALSE(c.landscape);
    EXPECT_FALSE(c.preview);

    ParsControls noCourier = listsOf({"DejaVu Sans Mono", "Liberation Mono"});
    readControls(s, noCourier);
    EXPECT_EQ(noCourier.fontIndex, 0) << "the first name";

    ParsControls noFonts = listsOf({});
    readControls(s, noFonts);
    EXPECT_EQ(noFonts.fontIndex, -1);
    TSettings out;
    writeControls(noFonts, out);
    EXPECT_EQ(out.FontName, "") << "nothing chosen stores an empty face name";
}

TEST(ParsControls, WriteTrimsThePatternLinesAndDropsEmptyOnes)
{
    ParsControls c = listsOf({"Courier New", "Liberation Mono"});
    c.fontIndex = 1;
    c.sizeIndex = 0;
    c.slider = 7;
    c.pathLines = {"  C:\\DOSPRN\\*.prn \t", "", "\t\x01/var/spool/dos/*.txt\r", "   "};
    c.landscape = true;
    c.preview = true;
    c.emulationIndex = 1;
    TSettings s;
    writeControls(c, s);
    EXPECT_EQ(s.Emulation, PrinterEmulation::Fx);
    EXPECT_EQ(s.FontName, "Liberation Mono");
    EXPECT_EQ(s.FontSize, 6);
    EXPECT_EQ(s.PollingFreq, 7);
    EXPECT_EQ(s.PeekPaths, (std::vector<std::string>{"C:\\DOSPRN\\*.prn", "/var/spool/dos/*.txt"}));
    EXPECT_EQ(s.PageOrient, "L");
    EXPECT_TRUE(s.Preview);

    c.pathLines = {""};
    c.landscape = false;
    c.emulationIndex = -1; // nothing chosen: the emulation stays
    writeControls(c, s);
    EXPECT_EQ(s.Emulation, PrinterEmulation::Fx);
    EXPECT_TRUE(s.PeekPaths.empty());
    EXPECT_EQ(s.PageOrient, "P");
}

TEST(ParsControls, FontNamesAreSortedAndKeptOnceIgnoringCase)
{
    EXPECT_EQ(sortedUniqueIgnoringCase({"b", "Mono", "A", "a", "B", "mono"}), QStringList({"A", "b", "Mono"}));
    const QStringList installed = fixedPitchFontFamilies();
    EXPECT_TRUE(installed.contains("Liberation Mono")) << installed.join(", ").toStdString();
    EXPECT_FALSE(installed.contains("DejaVu Sans")) << "proportional faces are left out";
    EXPECT_EQ(installed, sortedUniqueIgnoringCase(installed));
}

TEST(ParsForm, OpensWithTheStoredValuesAndTheSampleInDosBytes)
{
    TSettings s;
    s.FontName = "Liberation Mono";
    s.FontSize = 9;
    s.PeekPaths = {"/a/*.prn"};
    s.Emulation = PrinterEmulation::Fx;
    TParsForm form(s);
    EXPECT_EQ(form.Label2->text(), "[s]");
    form.ReadWriteControls("READ");
    EXPECT_EQ(form.gbEmulation->title(), "Emulacja drukarki");
    QStringList emulations;
    for (int i = 0; i < form.cbEmulation->count(); ++i)
        emulations << form.cbEmulation->itemText(i);
    EXPECT_EQ(emulations, QStringList({"Prosta (zgodna)", "Epson FX (9 igieł)", "Epson LQ (24 igły)"}));
    EXPECT_EQ(form.cbEmulation->currentText(), "Epson FX (9 igieł)");
    EXPECT_EQ(form.Label2->text(), "4 sek.");
    EXPECT_EQ(form.fcbFontNames->currentText(), "Liberation Mono");
    EXPECT_EQ(form.lbFontShow->face(), "Liberation Mono");
    EXPECT_EQ(form.lbFontShow->points(), 9);
    // "Próbka: Zażółć gęślą jaźń" in CP852, one byte a letter.
    EXPECT_EQ(form.lbFontShow->bytes(), "Pr\xa2" "bka: Za\xbe\xa2\x88\x86 g\xa9\x98l\xa5 ja\xab\xe4");
    EXPECT_EQ(form.mePaths->toPlainText(), "/a/*.prn");
    form.cbFontSizes->setCurrentIndex(0);
    EXPECT_EQ(form.lbFontShow->points(), 6) << "the sample follows the size at once";

    // The sample is drawn in blue.
    form.resize(form.size());
    QImage shot = form.lbFontShow->grab().toImage();
    int blue = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            blue += c.blue() > 150 && c.red() < 100 && c.green() < 100;
        }
    EXPECT_GT(blue, 20);

    form.TrackBar->setValue(7);
    EXPECT_EQ(form.Label2->text(), "7 sek.");
    form.mePaths->setPlainText("  /x/*.prn  \n\n/y/*.prn");
    form.rbLandscape->setChecked(true);
    form.cbPreviewOn->setChecked(true);
    QTest::keyClick(form.cbEmulation, Qt::Key_Down);
    form.ReadWriteControls("NOTHING");
    EXPECT_EQ(s.PollingFreq, 4);
    form.ReadWriteControls("WRITE");
    EXPECT_EQ(s.PollingFreq, 7);
    EXPECT_EQ(s.FontSize, 6);
    EXPECT_EQ(s.PeekPaths, (std::vector<std::string>{"/x/*.prn", "/y/*.prn"}));
    EXPECT_EQ(s.PageOrient, "L");
    EXPECT_TRUE(s.Preview);
    EXPECT_EQ(s.Emulation, PrinterEmulation::Lq);
}

TEST(ParsForm, EveryPartLiesInsideTheDialogAndNoneOverlapsAnother)
{
    TSettings s;
    TParsForm form(s);
    const QList<QWidget*> parts = form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_GE(parts.size(), 10);
    for (QWidget* a : parts) {
        EXPECT_TRUE(form.rect().contains(a->geometry())) << a->objectName().toStdString() << " "
                                                          << a->metaObject()->className();
        for (QWidget* b : parts)
            EXPECT_TRUE(a == b || !a->geometry().intersects(b->geometry()))
                << a->metaObject()->className() << " and " << b->metaObject()->className();
    }
    EXPECT_GT(form.btOK->y(), form.gbEmulation->geometry().bottom());
}

TEST(SettingsCommand, OkStoresAndRestartsTheTimerOnlyForANewIntervalCancelChangesNothing)
{
    writeSettings("PollingFreq=4\nPreview=OFF\nPeekPath0=" + QDir::tempPath().toStdString() + "/quillon-no-such/*.prn\n");
    TMainForm form;
    form.FormCreate();
    closeNoTrayBox();
    EXPECT_EQ(form.watcher().interval(), 3000) << "the first tick comes after 3000 ms";

    // Cancel: nothing changes, whatever the controls say. The command given again meanwhile
    // brings the open dialog to the front instead of opening a second one.
    const std::string before = readSettingsFile();
    int dialogs = 0;
    whenShown<TParsForm>([&](TParsForm& dialog) {
        dialog.TrackBar->setValue(9);
        dialog.cbPreviewOn->setChecked(true);
        form.ZmienParametryClick();
        EXPECT_EQ(form.openSettingsDialog(), &dialog);
        for (QWidget* w : QApplication::topLevelWidgets())
            dialogs += qobject_cast<TParsForm*>(w) != nullptr;
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    form.ZmienParametryClick();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(form.openSettingsDialog(), nullptr);
    EXPECT_EQ(form.settings().PollingFreq, 4);
    EXPECT_FALSE(form.settings().Preview);
    EXPECT_EQ(readSettingsFile(), before);
    EXPECT_EQ(form.watcher().interval(), 3000);

    // OK with 7 seconds and the 24-pin printer: stored, and the timer counts 7000 ms from now.
    whenShown<TParsForm>([](TParsForm& dialog) {
        dialog.TrackBar->setValue(7);
        dialog.cbEmulation->setCurrentIndex(2);
        QTest::mouseClick(dialog.btOK, Qt::LeftButton);
    });
    form.ZmienParametryClick();
    EXPECT_EQ(form.watcher().interval(), 7000);
    EXPECT_GT(form.watcher().remainingMs(), 6500);
    TSettings stored;
    std::string error;
    ASSERT_TRUE(loadSettings(stored, error)) << error;
    EXPECT_EQ(stored.PollingFreq, 7);
    EXPECT_EQ(stored.Emulation, PrinterEmulation::Lq);
    EXPECT_EQ(form.settings().Emulation, PrinterEmulation::Lq) << "the next job is read for the 24-pin printer";

    // OK with the interval the timer already has: its rhythm goes on undisturbed. (A coarse timer
    // may be 5 % late, so the wait is long enough to tell a restarted timer apart.)
    QTest::qWait(1500);
    whenShown<TParsForm>([](TParsForm& dialog) { QTest::keyClick(&dialog, Qt::Key_Return); });
    form.ZmienParametryClick();
    EXPECT_EQ(form.watcher().interval(), 7000);
    EXPECT_LT(form.watcher().remainingMs(), 6000);
}

TEST(SettingsCommand, StartUpWithAWrongTypeValueShowsTheErrorBoxAndKeepsTheWindow)
{
    writeSettings("FontName=Liberation Mono\nFontSize=12, 13\n");
    QString title;
    QString text;
    whenShown<QMessageBox>([&](QMessageBox& box) {
        title = box.windowTitle();
        text = box.text();
        box.accept();
    });
    TMainForm form;
    form.FormCreate();
    form.show();
    QTest::qWait(100);
    EXPECT_EQ(title, "Quillon Print");
    EXPECT_EQ(text, "Niepoprawny typ danych dla \"FontSize\"");
    EXPECT_TRUE(form.isVisible()) << "no hiding click was queued";
    EXPECT_TRUE(form.spbHide->isVisible());
    EXPECT_EQ(form.spbHide->text(), "Hide");
    EXPECT_EQ(form.settings().FontName, "Liberation Mono") << "what was read before the error stays";
    EXPECT_EQ(form.settings().FontSize, 12);
    // Without a notification area the window is all there is: closing only keeps it.
    form.close();
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.quitting());
}

TEST(TrayMenu, BandIsBlueFadingDownWithItsTwoEdgeLinesAndTheNameBelowItsTop)
{
    const QColor untouched(0x80, 0x80, 0x80);
    const QColor shadow(0x11, 0x22, 0x33);
    const QColor highlight(0xdd, 0xee, 0xff);
    QImage image(80, 100, QImage::Format_RGB32);
    image.fill(untouched);
    {
        QPainter painter(&image);
        PopupMenuDrawMargin(painter, QRect(0, 0, 70, 100), shadow, highlight);
    }
    // 32 bands of 3 rows, the 4 rows left over in the end colour.
    EXPECT_EQ(image.pixel(0, 0), rgb(0, 0, 255));
    EXPECT_EQ(image.pixel(0, 3), rgb(0, 0, 251)); // 255 - 128/31 = 250.87
    EXPECT_EQ(image.pixel(66, 93), rgb(0, 0, 127));
    EXPECT_EQ(image.pixel(0, 99), rgb(0, 0, 127));
    for (int y : {0, 99}) {
        EXPECT_EQ(image.pixelColor(67, y), untouched) << "the menu's own column";
        EXPECT_EQ(image.pixelColor(68, y), shadow);
        EXPECT_EQ(image.pixelColor(69, y), highlight);
        EXPECT_EQ(image.pixelColor(70, y), untouched) << "nothing right of the band";
    }
    // The white name starts 15 pixels below the top.
    auto whiteInRows = [&](int from, int to) {
        int n = 0;
        for (int y = from; y < to; ++y)
            for (int x = 0; x < 67; ++x)
                n += QColor(image.pixel(x, y)).lightness() > 200;
        return n;
    };
    EXPECT_EQ(whiteInRows(0, 15), 0);
    EXPECT_GT(whiteInRows(15, 40), 20) << "Qvp";
    EXPECT_GT(whiteInRows(40, 70), 20) << "Print";

    // Lower than 32 pixels: one band a row; one row: only the left-over row, in the end colour.
    QImage low(70, 10, QImage::Format_RGB32);
    low.fill(untouched);
    QImage one(70, 1, QImage::Format_RGB32);
    one.fill(untouched);
    {
        QPainter a(&low);
        PopupMenuDrawMargin(a, low.rect(), shadow, highlight);
        QPainter b(&one);
        PopupMenuDrawMargin(b, one.rect(), shadow, highlight);
    }
    EXPECT_EQ(low.pixel(0, 0), rgb(0, 0, 255));
    EXPECT_EQ(low.pixel(0, 1), rgb(0, 0, 241)); // 255 - 128/9 = 240.78
    EXPECT_EQ(low.pixel(0, 9), rgb(0, 0, 127));
    EXPECT_EQ(one.pixel(0, 0), rgb(0, 0, 127));
    EXPECT_EQ(one.pixelColor(68, 0), shadow);
}

TEST(TrayMenu, HoldsTheFourCommandsWithTheFirstAsDefault)
{
    TTrayMenu menu;
    QStringList captions;
    for (QAction* a : menu.actions()) {
        captions << a->text();
        EXPECT_FALSE(a->icon().isNull()) << a->text().toStdString();
    }
    EXPECT_EQ(captions, QStringList({"Pokaż lub zmień parametry", "Pomoc", "O programie", "Zakończ"}));
    EXPECT_EQ(menu.defaultAction(), menu.ZmienParametry);
    EXPECT_TRUE(menu.ZmienParametry->font().bold());
}

TEST(AboutBox, OneAtATimeAndAFreshOneEachTime)
{
    int boxes = 0;
    TAboutForm* first = nullptr;
    whenShown<TAboutForm>([&](TAboutForm& box) {
        first = &box;
        EXPECT_EQ(box.windowTitle(), "O programie");
        EXPECT_EQ(box.Label1->text(), "Quillon Print");
        EXPECT_EQ(box.Label2->text(), "wersja " + QString(kVersion));
        EXPECT_EQ(box.Label3->text(), "Terlo");
        ShowAbout(); // the open box comes to the front; no second one
        for (QWidget* w : QApplication::topLevelWidgets())
            boxes += qobject_cast<TAboutForm*>(w) != nullptr && w->isVisible();
        EXPECT_EQ(openAboutBox(), &box);
        QTest::mouseClick(box.BitBtn1, Qt::LeftButton);
    });
    ShowAbout();
    EXPECT_EQ(boxes, 1);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(openAboutBox(), nullptr);

    bool shownAgain = false;
    whenShown<TAboutForm>([&](TAboutForm& box) {
        shownAgain = true;
        box.reject();
    });
    ShowAbout();
    EXPECT_TRUE(shownAgain);
    EXPECT_EQ(openAboutBox(), nullptr);
}
