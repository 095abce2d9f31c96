#include "firmware/upload_link.h"

#include "common/log_categories.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpSocket>
#include <QThread>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/sockios.h>
#include <sys/ioctl.h>
#endif

namespace firmware {

namespace {

constexpr qint64 ChunkSize = 64 * 1024;
constexpr int PollMs = 10;

bool shutDownSending(QTcpSocket &client)
{
#ifdef Q_OS_WIN
    return ::shutdown(SOCKET(client.socketDescriptor()), SD_SEND) == 0;
#else
    return ::shutdown(int(client.socketDescriptor()), SHUT_WR) == 0;
#endif
}

// True when the controller's side has acknowledged every byte sent. Only Linux tells; elsewhere
// only the controller's close shows that the file arrived.
bool allAcknowledged(QTcpSocket &client)
{
#ifdef Q_OS_LINUX
    int unacknowledged = -1;
    return ::ioctl(int(client.socketDescriptor()), SIOCOUTQ, &unacknowledged) == 0 && unacknowledged == 0;
#else
    Q_UNUSED(client);
    return false;
#endif
}

} // namespace

UploadLink::UploadLink(QObject *parent) : QObject(parent), m_client(new QTcpSocket(this))
{
    m_client->setObjectName(QStringLiteral("uploadConnection"));
}

UploadLink::~UploadLink() = default;

bool UploadLink::isConnected() const
{
    return m_client->state() == QAbstractSocket::ConnectedState;
}

Result<> UploadLink::connectToBootloader(const QString &host, quint16 port, int retryMs)
{
    m_host = host;
    qCDebug(lcFirmware).noquote() << "upload: connecting to" << host << "port" << port;
    const int timeoutMs = m_timing.connectTimeoutMs;
    QElapsedTimer waited;
    waited.start();
    for (int left = timeoutMs;; left = int(timeoutMs - waited.elapsed())) {
        m_client->abort();
        m_client->connectToHost(QHostAddress(host), port);
        if (m_client->waitForConnected(left))
            return {};
        // A connection that timed out has used the time up.
        if (retryMs <= 0 || waited.elapsed() + retryMs >= timeoutMs)
            break;
        m_client->abort();
        QThread::msleep(ulong(retryMs));
    }
    const QString reason = m_client->errorString();
    const Failure failure = m_client->error() == QAbstractSocket::SocketTimeoutError
        ? Failure{QStringLiteral("Connection to %1 port %2 timed out.").arg(host).arg(port), reason}
        : Failure{QStringLiteral("Could not connect to %1 port %2: %3").arg(host).arg(port).arg(reason), reason};
    m_client->abort();
    qCWarning(lcFirmware).noquote() << "upload to" << host << "not started:" << failure.text;
    return failure;
}

bool UploadLink::writeAll(QByteArrayView bytes)
{
    if (!isConnected())
        return false;
    if (m_client->write(bytes.data(), bytes.size()) != bytes.size())
        return false;
    // Waiting also reads the connection's state, so a controller that has closed or reset it is
    // noticed here, even when the bytes would fit into the send buffers unseen.
    while (m_client->bytesToWrite() > 0) {
        if (!m_client->waitForBytesWritten(m_timing.stallTimeoutMs))
            return false;
    }
    return isConnected();
}

bool UploadLink::ClientSendFile(const QString &fileName)
{
    m_fileReason.clear();
    // An empty file is no firmware: reporting it as sent would leave the operator believing the
    // controller was updated.
    const QFileInfo info(fileName);
    if (fileName.isEmpty() || !info.isFile() || info.size() == 0) {
        m_fileReason = fileName.isEmpty() ? QStringLiteral("no file is named")
                                          : QStringLiteral("the file is missing, empty or no file");
        return false;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        m_fileReason = file.errorString();
        return false;
    }
    const qint64 total = info.size();
    qint64 sent = 0;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(ChunkSize);
        if (chunk.isEmpty()) {
            m_fileReason = file.errorString();
            return false;
        }
        if (!writeAll(chunk))
            return false;
        sent += chunk.size();
        emit progress(sent, total);
    }
    if (file.error() != QFileDevice::NoError || sent != total) {
        m_fileReason = file.error() != QFileDevice::NoError ? file.errorString()
                                                            : QStringLiteral("the file changed while it was sent");
        return false;
    }
    return true;
}

bool UploadLink::finishUpload()
{
    // Closing at once is not enough: if the controller sent anything the PC has not read, the
    // system answers the close with a reset, and bytes still on their way may be thrown away.
    if (!isConnected() || m_client->bytesToWrite() > 0 || !shutDownSending(*m_client))
        return false;
    // The bootloader knows the file has ended only by the PC's end of stream, and closes its side
    // after it has read everything; the PC's close then resets nothing.
    const int closeWaitMs = m_timing.closeWaitMs;
    QElapsedTimer waited;
    waited.start();
    for (qint64 left = closeWaitMs; left > 0; left = closeWaitMs - waited.elapsed()) {
        if (m_client->waitForReadyRead(int(qMin<qint64>(left, PollMs)))) {
            m_client->readAll();
            continue;
        }
        // A reset says nothing about what arrived.
        if (!isConnected())
            return m_client->error() == QAbstractSocket::RemoteHostClosedError;
    }
    // A controller that keeps its side open has the file if it acknowledged every byte.
    m_client->readAll();
    return allAcknowledged(*m_client);
}

Failure UploadLink::uploadFailure(const QString &fileName, const QString &step) const
{
    const QString reason = !m_fileReason.isEmpty() ? m_fileReason : m_client->errorString();
    return {QStringLiteral("The firmware file %1 was not delivered to %2: %3 (%4).").arg(fileName, m_host, step, reason),
            reason};
}

Result<> UploadLink::sendFirmware(const QString &fileName)
{
    m_fileReason.clear();
    Result<> outcome;
    if (!writeAll(QByteArrayView(Announcement, AnnouncementSize))) {
        outcome = uploadFailure(fileName, QStringLiteral("the announcement did not go out"));
    } else {
        QThread::msleep(ulong(m_timing.pauseMs));
        if (!ClientSendFile(fileName))
            outcome = uploadFailure(fileName, QStringLiteral("the file was not sent in full"));
        else if (!finishUpload())
            outcome = uploadFailure(fileName, QStringLiteral("the controller did not take the file's end"));
    }
    m_client->abort();
    if (outcome)
        qCDebug(lcFirmware).noquote() << "upload: file sent in full to" << m_host;
    else
        qCWarning(lcFirmware).noquote() << "upload to" << m_host << "failed:" << outcome.failure().text;
    return outcome;
}

} // namespace firmware
