#pragma once
// glintwork-cli started as a script starts it (GLINTWORK_CLI is its path): its exit status and
// what it wrote to each stream.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace clitest {

struct Run {
    int status = -1; // -1: it crashed or did not end in time
    QString out;
    QString err;
};

inline Run cli(const QStringList &args, int timeoutMs = 120000)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(GLINTWORK_CLI), args);
    // Anything the program talks to runs on a thread or in a process of its own, so waiting here
    // blocks nothing it needs.
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

} // namespace clitest
