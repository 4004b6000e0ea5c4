#include "HelpCommand.h"

#include "QuillonVersion.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace quillon {

namespace {
constexpr const char* kHelpFile = "Pomoc.html";
}

QString helpFilePath()
{
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QLatin1String(kHelpFile));
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed = QDir(QString::fromUtf8(kInstalledDataDir)).filePath(QLatin1String(kHelpFile));
    if (QFileInfo::exists(installed))
        return installed;
    return beside;
}

void showHelp()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(helpFilePath()));
}

} // namespace quillon
