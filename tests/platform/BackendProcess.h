#pragma once
// The quillon backend run as CUPS runs it: a program with the job's arguments, DEVICE_URI and
// TMPDIR in its environment and the job on standard input.

#include "RenderProcess.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <string>

namespace quillon::test {

using BackendRun = RenderRun;

inline QProcessEnvironment backendEnvironment(const std::string& deviceUri, const std::string& tmpDir)
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("DEVICE_URI", QString::fromStdString(deviceUri));
    e.insert("TMPDIR", QString::fromStdString(tmpDir));
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

} // namespace quillon::test
