#include "CliMessages.h"

#include <QString>
#include <QtGlobal>

#include <cstdlib>

namespace quillon {

namespace {

QtMessageHandler qtDefaultHandler = nullptr;

void quietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    qtDefaultHandler(type, context, message);
}

} // namespace

void quietQtMessages()
{
    qtDefaultHandler = qInstallMessageHandler(quietMessages);
}

bool displayAvailable()
{
    return std::getenv("QT_QPA_PLATFORM") || std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
}

} // namespace quillon
