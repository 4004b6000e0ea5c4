// quillon-print: the tray program. DOS print files dropped into the watched folders are printed
// or previewed; the icon in the notification area opens the settings, the help and the About box.

#include "AppPaths.h"
#include "MainForm.h"
#include "Icons.h"
#include "QuillonVersion.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("quillon-print %s\n", quillon::kVersion);
        return 0;
    }
    QApplication app(argc, argv);
    quillon::setApplicationNames();
    // Desktops that host tray icons over D-Bus title the program's item with its name.
    QCoreApplication::setApplicationName(QLatin1String(quillon::kAppTitle));
    // The program lives on in the notification area when its windows are closed.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(quillon::programIcon());

    quillon::TMainForm form;
    form.FormCreate();
    form.show();
    return QApplication::exec();
}
