#pragma once
// quillon-render run as a separate process, as a user or a script runs it.

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <map>
#include <string>

namespace quillon::test {

struct RenderRun {
    int exitCode = -1; // -1 when it crashed or did not finish in time
    std::string out;
    std::string err;
};

// Waits for a started program and takes what it said; kills it after timeoutMs.
inline RenderRun collectRun(QProcess& p, int timeoutMs)
{
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {-1, p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
}

inline RenderRun runRender(const QStringList& args, const std::map<QString, QString>& env = {},
                           const std::string& cwd = {}, int timeoutMs = 120000)
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : env)
        e.insert(name, value);
    p.setProcessEnvironment(e);
    if (!cwd.empty())
        p.setWorkingDirectory(QString::fromStdString(cwd));
    p.start(QString(QUILLON_RENDER), args);
    return collectRun(p, timeoutMs);
}

inline QString qs(const std::string& s)
{
    return QString::fromStdString(s);
}

} // namespace quillon::test
