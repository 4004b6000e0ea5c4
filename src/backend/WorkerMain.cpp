// quillon-backend-worker: the part of the quillon backend that renders.
//
//   quillon-backend-worker ARGS...            one job, as CUPS gives it to a backend
//   quillon-backend-worker --serve FOLDER     the resident renderer of FOLDER (see ResidentRenderer.h)
//
// The quillon backend starts it in either way; it is not meant to be run by hand.

#include "CupsBackend.h"
#include "RenderFile.h"
#include "RenderOptions.h"
#include "ResidentRenderer.h"

#include <QGuiApplication>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <unistd.h>

namespace {

// Qt's remarks are debugging lines in CUPS's log, not job errors.
void qtMessagesAsDebug(QtMsgType, const QMessageLogContext&, const QString& message)
{
    std::fprintf(stderr, "DEBUG: %s\n", message.toLocal8Bit().constData());
}

// Fonts need a GUI application, not a display.
std::unique_ptr<QGuiApplication> startQt(int& argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(qtMessagesAsDebug);
    return std::make_unique<QGuiApplication>(argc, argv);
}

// CUPS names the device in DEVICE_URI, and in argv[0].
std::string deviceUriOf(const std::string& program)
{
    const char* uri = std::getenv("DEVICE_URI");
    if (uri && *uri)
        return uri;
    return program.rfind("quillon:", 0) == 0 ? program : std::string();
}

// A job's first page costs the loading of fonts and of the PDF writer: a renderer pays it once,
// on a line of text rendered into its own folder.
void warmUp(const std::string& folder)
{
    quillon::RenderOptions options;
    options.input = folder + "/warm-up.prn";
    options.output = folder + "/warm-up.pdf";
    std::ofstream(options.input, std::ios::binary) << "Quillon\r\n";
    quillon::renderFile(options, nullptr);
    ::unlink(options.input.c_str());
    ::unlink(options.output.c_str());
}

int serve(int argc, char** argv, const std::string& folder)
{
    // Qt's runtime files stay in the renderer's own folder.
    ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    ::setenv("TMPDIR", folder.c_str(), 1);
    const auto app = startQt(argc, argv);
    quillon::resident::Service service;
    service.warmUp = [&] { warmUp(folder); };
    service.runJob = [](const std::vector<std::string>& args) {
        quillon::CupsBackend backend;
        if (!backend.start({args.begin() + 1, args.end()}, deviceUriOf(args.front())))
            return backend.status();
        return backend.run();
    };
    return quillon::resident::serveJobs(folder, service);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--serve") == 0)
        return serve(argc, argv, argv[2]);

    quillon::CupsBackend backend;
    if (!backend.start(std::vector<std::string>(argv + 1, argv + argc), deviceUriOf(argv[0])))
        return backend.status();
    const auto app = startQt(argc, argv);
    return backend.run();
}
