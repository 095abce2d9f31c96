#include "firmware_upload.h"

#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpSocket>
#include <QThread>
#include <stdexcept>

namespace netfirmware {

namespace {
constexpr qint64 ChunkSize = 64 * 1024;
}

void connectToBootloader(QTcpSocket &client, const QString &host, quint16 port, int timeoutMs)
{
    client.abort();
    client.connectToHost(QHostAddress(host), port);
    if (client.waitForConnected(timeoutMs))
        return;
    const QString reason = client.error() == QAbstractSocket::SocketTimeoutError
        ? QStringLiteral("Connection to %1 port %2 timed out.").arg(host).arg(port)
        : QStringLiteral("Could not connect to %1 port %2: %3").arg(host).arg(port).arg(client.errorString());
    client.abort();
    throw std::runtime_error(reason.toStdString());
}

bool writeAll(QTcpSocket &client, QByteArrayView bytes, int stallTimeoutMs)
{
    if (client.state() != QAbstractSocket::ConnectedState)
        return false;
    if (client.write(bytes.data(), bytes.size()) != bytes.size())
        return false;
    // Waiting also reads the connection's state, so a controller that has closed or reset it is
    // noticed here, even when the bytes would fit into the send buffers unseen.
    while (client.bytesToWrite() > 0) {
        if (!client.waitForBytesWritten(stallTimeoutMs))
            return false;
    }
    return client.state() == QAbstractSocket::ConnectedState;
}

bool ClientSendFile(QTcpSocket &client, const QString &fileName, int stallTimeoutMs)
{
    // An empty file is no firmware: reporting it as sent would leave the operator believing the
    // controller was updated.
    const QFileInfo info(fileName);
    if (fileName.isEmpty() || !info.isFile() || info.size() == 0)
        return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    qint64 sent = 0;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(ChunkSize);
        if (chunk.isEmpty() || !writeAll(client, chunk, stallTimeoutMs))
            return false;
        sent += chunk.size();
    }
    return file.error() == QFileDevice::NoError && sent == info.size();
}

bool sendFirmware(QTcpSocket &client, const QString &fileName, const UploadTiming &timing)
{
    bool sent = writeAll(client, QByteArrayView(Announcement, AnnouncementSize), timing.stallTimeoutMs);
    if (sent) {
        QThread::msleep(ulong(timing.pauseMs));
        sent = ClientSendFile(client, fileName, timing.stallTimeoutMs);
    }
    if (sent)
        client.disconnectFromHost();
    client.abort();
    return sent;
}

} // namespace netfirmware
