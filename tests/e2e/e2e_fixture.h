#pragma once
// What end-to-end tests share: starting virtual controllers on the controller side of the private
// namespaces that netns_run.sh made, and a main window on the app side.

#include "form1.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace e2e {

inline QString controllerNamespace()
{
    return qEnvironmentVariable("GLW_NETNS_CTL");
}

// Runs a command inside the controller side's namespace and waits for it.
inline bool runInControllerNs(const QStringList &command)
{
    QProcess p;
    p.start(QStringLiteral("ip"), QStringList{"netns", "exec", controllerNamespace()} + command);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Assigns controller addresses on the controller side (once per address per run).
inline bool addControllerAddresses(const QStringList &addresses)
{
    for (const QString &a : addresses)
        if (!runInControllerNs({"ip", "addr", "add", a + "/16", "dev", "veth-ctl"}))
            return false;
    return true;
}

// A running glw-netsim on the controller side; ended (by its own PID) when destroyed.
class NetSimProcess {
public:
    // Starts it with `args` and waits for its "ready" line. The controllers' addresses must
    // already be assigned.
    bool start(const QStringList &args)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("ip"),
                        QStringList{"netns", "exec", controllerNamespace(), QStringLiteral(GLW_NETSIM)} + args);
        if (!m_process.waitForStarted(10000))
            return false;
        while (m_process.waitForReadyRead(10000)) {
            m_output += m_process.readAll();
            if (m_output.contains("ready"))
                return true;
        }
        return false;
    }
    QByteArray output()
    {
        m_output += m_process.readAll();
        return m_output;
    }
    ~NetSimProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

private:
    QProcess m_process;
    QByteArray m_output;
};

// The controller file's text written to a temporary file; returns its path.
inline QString writeControllerFile(QTemporaryDir &dir, const QString &name, const QString &text)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(text.toUtf8());
    return path;
}

} // namespace e2e
