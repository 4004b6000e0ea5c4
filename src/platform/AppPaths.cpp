#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace quillon {

void setApplicationNames()
{
    QCoreApplication::setOrganizationName(kOrganisationName);
    QCoreApplication::setApplicationName(kApplicationName);
}

std::string appDataDir()
{
    // Named here rather than after the running application, whose name a front end may change.
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/%1/%2").arg(QLatin1String(kOrganisationName), QLatin1String(kApplicationName));
    QDir().mkpath(dir);
    return QDir::cleanPath(dir).toStdString();
}

std::string dataFilePath(const std::string& name, const std::string& programDir)
{
    const QString file = QString::fromStdString(name);
    const QDir dir(QString::fromStdString(programDir));
    for (const QString& candidate : {dir.filePath(file), dir.filePath(QStringLiteral(QUILLON_DATA_FROM_BIN "/") + file)}) {
        if (QFileInfo(candidate).isFile())
            return QDir::cleanPath(candidate).toStdString();
    }
    const QString found = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                                 QStringLiteral("quillon-print/") + file);
    return found.toStdString();
}

std::string dataFilePath(const std::string& name)
{
    return dataFilePath(name, QCoreApplication::applicationDirPath().toStdString());
}

} // namespace quillon
