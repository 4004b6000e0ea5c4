// What the settings dialog and the help command refuse or cannot do, and how they say so: a
// folder pattern that is not a full path, more patterns than the settings hold, help with no
// browser on the desktop.

#include "HelpCommand.h"
#include "MainForm.h"
#include "ParsForm.h"
#include "WatcherService.h"

#include "PreviewTestSupport.h"

#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

using namespace quillon;
using namespace quillon::test;

namespace {

// Clicks OK; a message box that shows is answered, and its text returned.
QString clickOk(TParsForm& form)
{
    QString said;
    bool answered = false;
    QPointer<QTimer> watch = whenShown<QMessageBox>([&](QMessageBox& box) {
        said = box.text();
        answered = true;
        box.accept();
    });
    QTest::mouseClick(form.btOK, Qt::LeftButton);
    if (!answered) // no box: the watch for one ends here, before what it would write is gone
        delete watch.data();
    return said;
}

QStringList absoluteLines(int n)
{
    QStringList lines;
    for (int i = 0; i < n; ++i)
        lines << QStringLiteral("/srv/dos%1/*.prn").arg(i);
    return lines;
}

} // namespace

TEST(ParsForm, OkRefusesAPatternThatIsNotAFullPathOrA101stAndTheDialogStaysAtTheLine)
{
    TSettings settings;
    settings.PeekPaths = {"/stare/*.prn"};
    TParsForm form(settings);
    form.ReadWriteControls("READ");
    form.show();

    form.mePaths->setPlainText("*");
    QString said = clickOk(form);
    EXPECT_EQ(said.toStdString(), "Wiersz 1: wzorzec „*” nie jest pełną ścieżką. Wzorzec musi się zaczynać od „/” "
                    "(np. /home/jan/DOSPRN/*.prn) albo od „~/” (folder domowy, np. ~/DOSPRN/*.prn).");
    EXPECT_TRUE(form.isVisible());
    EXPECT_NE(form.result(), QDialog::Accepted);

    form.mePaths->setPlainText("/a/*.prn\n\n  raporty/*.prn \n~/DOSPRN/*.prn");
    said = clickOk(form);
    EXPECT_TRUE(said.startsWith("Wiersz 3: wzorzec „raporty/*.prn” nie jest pełną ścieżką.")) << said.toStdString();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.mePaths->textCursor().selectedText().toStdString(), "  raporty/*.prn ") << "the line at fault is selected";

    form.mePaths->setPlainText(absoluteLines(101).join('\n'));
    said = clickOk(form);
    EXPECT_EQ(said.toStdString(), "Wzorców może być najwyżej 100; wiersz 101 jest już 101. wzorcem. Usuń zbędne wiersze.");
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(settings.PeekPaths, std::vector<std::string>{"/stare/*.prn"}) << "nothing refused reaches the settings";

    // 100 patterns, one from the home folder, and empty lines among them: taken.
    form.mePaths->setPlainText("\n" + absoluteLines(99).join('\n') + "\n\n~/DOSPRN/*.prn\n");
    said = clickOk(form);
    EXPECT_EQ(said.toStdString(), "");
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    form.ReadWriteControls("WRITE");
    EXPECT_EQ(settings.PeekPaths.size(), 100u);
    EXPECT_EQ(settings.PeekPaths.back(), "~/DOSPRN/*.prn");
}

TEST(HelpCommand, WithNothingToOpenThePageAMessageGivesItsPath)
{
    // No program on the desktop opens a page.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "");
    for (const char* name : {"BROWSER", "DEFAULT_BROWSER"})
        qunsetenv(name);
    QString title;
    QString said;
    whenShown<QMessageBox>([&](QMessageBox& box) {
        title = box.windowTitle();
        said = box.text();
        box.accept();
    });
    showHelp();
    qputenv("PATH", path);
    EXPECT_EQ(title.toStdString(), "Quillon Print");
    EXPECT_EQ(said.toStdString(), "Nie można otworzyć pomocy w przeglądarce. Strona pomocy: " + helpFilePath().toStdString());
    EXPECT_TRUE(helpFilePath().endsWith("/Pomoc.html"));
}

TEST(TrayProgram, AStoredPatternThatIsNotAFullPathIsPassedOverAndTheUserIsTold)
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Terlo";
    QDir().mkpath(dir);
    std::ofstream((dir + "/QuillonPrint.conf").toStdString(), std::ios::trunc)
        << "[General]\nPreview=OFF\nPeekPath0=raporty/*.prn\n";
    TMainForm form;
    form.FormCreate();
    QCoreApplication::processEvents();
    for (QWidget* w : QApplication::topLevelWidgets()) // the box that says there is no tray here
        if (qobject_cast<QMessageBox*>(w))
            w->close();
    form.watcher().runPass();
    // Offscreen has no notification area: the message waits on the window that stands in for it.
    EXPECT_TRUE(form.lbNoTray->toolTip().startsWith("Wzorzec folderu „raporty/*.prn” pominięto"))
        << form.lbNoTray->toolTip().toStdString();
}
