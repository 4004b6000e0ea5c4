// quillon-backend-worker: the part of the quillon backend that renders.
//
//   quillon-backend-worker ARGS...            one job, as CUPS gives it to a backend
//   quillon-backend-worker --serve FOLDER     the resident renderer of FOLDER (see ResidentRenderer.h)
//
// The quillon backend starts it in either way; it is not meant to be run by hand.

#include "AppFactory.h"
#include "CupsBackend.h"
#include "JobSession.h"
#include "PdfPrinter.h"
#include "RenderOptions.h"
#include "ResidentRenderer.h"
#include "posix/InputDescriptor.h"
#include "report/ReportProgress.h"

#include <QGuiApplication>
#include <QtGlobal>

#include <cups/http.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

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

// What a job's first page costs beyond drawing it (the fonts of every style and pitch, the
// glyphs of the whole code page, the PDF writer) a renderer pays once, on a page of every kind of
// text, rendered into its own folder.
std::string warmUpPage()
{
    std::string all;
    for (int c = 0x20; c <= 0xFF; ++c)
        if (c != 0x7F)
            all += char(c);
    std::string page = "\x1b@";
    for (const char* pitch : {"\x12", "\x1bM", "\x0f", "\x1bM\x0f"})
        for (const char* style : {"", "\x1b" "E", "\x1b" "4", "\x1b-1", "\x1bW1", "\x1bS0", "\x1bS1"})
            page += std::string(pitch) + style + all + "\x1b@\r\n";
    return page + "\f";
}

// The page is printed as a job into a PDF folder is, with the renderer's folder as the job's own
// (nothing goes into the user's data folder).
void warmUp(const std::string& folder)
{
    const std::string input = folder + "/warm-up.prn";
    const std::string output = folder + "/warm-up.pdf";
    std::ofstream(input, std::ios::binary) << warmUpPage();
    {
        quillon::SilentProgress progress;
        quillon::PrintJob job(quillon::RenderOptions(), progress, folder, output);
        const quillon::Descriptor page(quillon::openForReading(input));
        if (page.get() >= 0 && job.session().runSpoolJob(page.get(), "warm-up"))
            job.pdfFile()->finish();
    }
    ::unlink(input.c_str());
    ::unlink(output.c_str());
    // libcups's texts in the renderer's language, read once rather than by every job: a job reads
    // them for the first answer of the scheduler that is not a success (a queue without a PPD
    // gives one to every job). libcups keeps them by language for all threads; they are read on a
    // thread of their own so that the language stays each job's own choice, as its locale says.
    std::thread([] { httpStatus(HTTP_STATUS_NOT_FOUND); }).join();
}

int serve(int argc, char** argv, const std::string& folder)
{
    // Qt's runtime files stay in the renderer's own folder.
    ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    ::setenv("TMPDIR", folder.c_str(), 1);
    const auto app = startQt(argc, argv);
    quillon::resident::Service service;
    service.warmUp = [&] { warmUp(folder); };
    service.runJob = [&](const std::vector<std::string>& args) {
        quillon::CupsBackend backend;
        if (!backend.start({args.begin() + 1, args.end()}, deviceUriOf(args.front()), folder))
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
