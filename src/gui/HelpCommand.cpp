#include "HelpCommand.h"

#include "AppPaths.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace quillon {

namespace {
constexpr const char* kHelpFile = "Pomoc.html";
}

QString helpFilePath()
{
    // Beside the program (the build tree), then in the data folder of the installation.
    const std::string found = dataFilePath(kHelpFile);
    if (!found.empty())
        return QString::fromStdString(found);
    return QDir(QCoreApplication::applicationDirPath()).filePath(QLatin1String(kHelpFile));
}

void showHelp()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(helpFilePath()));
}

} // namespace quillon
