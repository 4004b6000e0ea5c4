#include "HelpCommand.h"

#include "AppPaths.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>
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

void showHelp(QWidget* parent)
{
    const QString page = helpFilePath();
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(page)))
        return;
    QMessageBox box(QMessageBox::Information, QStringLiteral("Quillon Print"),
                    QStringLiteral("Nie można otworzyć pomocy w przeglądarce. Strona pomocy: %1")
                        .arg(QDir::toNativeSeparators(page)),
                    QMessageBox::Ok, parent);
    // The path can be copied into a browser of the user's choice.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
}

} // namespace quillon
