#include "CliMessages.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <sstream>

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

void complain(const std::string& text)
{
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        std::fprintf(stderr, "quillon-render: %s\n", line.c_str());
}

void quietQtMessages()
{
    qtDefaultHandler = qInstallMessageHandler(quietMessages);
}

bool displayAvailable()
{
    return std::getenv("QT_QPA_PLATFORM") || std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
}

} // namespace quillon
