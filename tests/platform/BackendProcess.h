#pragma once
// The quillon backend run as CUPS runs it: a program with the job's arguments, DEVICE_URI and
// TMPDIR in its environment and the job on standard input.

#include "RenderProcess.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

namespace quillon::test {

using BackendRun = RenderRun;

inline QProcessEnvironment backendEnvironment(const std::string& deviceUri, const std::string& tmpDir)
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("DEVICE_URI", QString::fromStdString(deviceUri));
    e.insert("TMPDIR", QString::fromStdString(tmpDir));
    e.insert("QUILLON_BACKEND_WORKER", QUILLON_BACKEND_WORKER);
    return e;
}

// args: job-id user title copies options [file]; input goes to its standard input.
inline BackendRun runBackend(const QStringList& args, const std::string& deviceUri,
                             const std::string& tmpDir, const std::string& input = {},
                             int timeoutMs = 60000)
{
    QProcess p;
    p.setProcessEnvironment(backendEnvironment(deviceUri, tmpDir));
    p.start(QString(QUILLON_BACKEND), args);
    p.waitForStarted();
    p.write(input.data(), qint64(input.size()));
    p.closeWriteChannel();
    return collectRun(p, timeoutMs);
}

// What a folder holds, leaving out the resident renderer's own folder, which outlives the jobs.
inline size_t entries(const std::string& folder)
{
    std::error_code ec;
    size_t n = 0;
    namespace fs = std::filesystem;
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
        n += it->path().filename().string().rfind("quillon-renderer-", 0) != 0;
    return n;
}

// A job of 3000 pages on its way, well into rendering (past its page 20); err holds what it said
// so far. Null, with err, when it never got there.
inline std::unique_ptr<QProcess> startLongJob(const std::string& deviceUri, const std::string& tmpDir, std::string& err)
{
    std::string big;
    for (int page = 0; page < 3000; ++page)
        big += "Strona " + std::to_string(page) + std::string(60, 'x') + "\r\n\f";
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(backendEnvironment(deviceUri, tmpDir));
    p->setProcessChannelMode(QProcess::SeparateChannels);
    p->start(QString(QUILLON_BACKEND), {"9", "jan", "duzy", "1", ""});
    if (!p->waitForStarted())
        return nullptr;
    p->write(big.data(), qint64(big.size()));
    p->closeWriteChannel();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (err.find("Rendering page 20\n") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        p->waitForReadyRead(100);
        err += p->readAllStandardError().toStdString();
    }
    if (err.find("Rendering page 20\n") == std::string::npos)
        return nullptr;
    return p;
}

} // namespace quillon::test
