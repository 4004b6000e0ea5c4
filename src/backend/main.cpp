// quillon: the CUPS backend that renders the DOS printer streams of a queue with the engine.

#include "CupsBackend.h"

#include <QGuiApplication>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Qt's remarks are debugging lines in CUPS's log, not job errors.
void qtMessagesAsDebug(QtMsgType, const QMessageLogContext&, const QString& message)
{
    std::fprintf(stderr, "DEBUG: %s\n", message.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    // CUPS names the device in DEVICE_URI (and in argv[0]).
    const char* uri = std::getenv("DEVICE_URI");
    std::string deviceUri = uri ? uri : "";
    if (deviceUri.empty() && std::strncmp(argv[0], "quillon:", 8) == 0)
        deviceUri = argv[0];

    quillon::CupsBackend backend;
    if (!backend.start(args, deviceUri))
        return backend.status();
    // Fonts need a GUI application, not a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(qtMessagesAsDebug);
    QGuiApplication app(argc, argv);
    return backend.run();
}
