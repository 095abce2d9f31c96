#pragma once
// For tests run inside the private network namespaces that netns_run.sh makes (the test program
// on the app side): starting virtual network controllers on the controller side and giving them
// addresses. GLW_NETSIM is the path of glw-netsim. Qt Core only.

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace netns {

inline QString controllerNamespace()
{
    return qEnvironmentVariable("GLW_NETNS_CTL");
}

// The namespace of the second adapter's LAN (netns_run.sh --second-adapter), empty without one.
inline QString otherNamespace()
{
    return qEnvironmentVariable("GLW_NETNS_OTHER");
}

// Runs a command inside a namespace (the controller side's unless told) and waits for it.
inline bool runInNamespace(const QStringList &command, const QString &ns = controllerNamespace())
{
    QProcess p;
    p.start(QStringLiteral("ip"), QStringList{"netns", "exec", ns} + command);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
inline bool runInControllerNs(const QStringList &command)
{
    return runInNamespace(command);
}

// Assigns controller addresses (/16) to `device` in a namespace, once per address per run; the
// controller side's veth unless told.
inline bool addControllerAddresses(const QStringList &addresses, const QString &ns = controllerNamespace(),
                                   const QString &device = QStringLiteral("veth-ctl"))
{
    QTemporaryDir dir;
    QFile batch(dir.filePath(QStringLiteral("addresses")));
    if (!dir.isValid() || !batch.open(QIODevice::WriteOnly))
        return false;
    for (const QString &a : addresses)
        batch.write(QStringLiteral("addr add %1/16 dev %2\n").arg(a, device).toUtf8());
    batch.close();
    return runInNamespace({"ip", "-batch", batch.fileName()}, ns);
}

// A running glw-netsim on the controller side; ended (by its own PID) when destroyed.
class NetSimProcess {
public:
    // Starts it with `args` in a namespace (the controller side's unless told) and waits for its
    // "ready" line. The controllers' addresses must already be assigned.
    bool start(const QStringList &args, const QString &ns = controllerNamespace())
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("ip"), QStringList{"netns", "exec", ns, QStringLiteral(GLW_NETSIM)} + args);
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

// Another PC on a LAN searches: one discovery request broadcast from `address`, which must be
// assigned in that namespace.
inline bool searchFromAnotherPc(const QString &address, const QString &ns = controllerNamespace())
{
    return runInNamespace({QStringLiteral(GLW_NETSIM), "--search-from", address}, ns);
}

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

} // namespace netns
