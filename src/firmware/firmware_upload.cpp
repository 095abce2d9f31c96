#include "firmware/firmware_upload.h"
#include "firmware/hex_image_check.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpSocket>
#include <QElapsedTimer>
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

Result<> connectToBootloader(QTcpSocket &client, const QString &host, quint16 port, int timeoutMs)
{
    client.abort();
    client.connectToHost(QHostAddress(host), port);
    if (client.waitForConnected(timeoutMs))
        return {};
    const Failure failure = client.error() == QAbstractSocket::SocketTimeoutError
        ? Failure{QStringLiteral("Connection to %1 port %2 timed out.").arg(host).arg(port), client.errorString()}
        : Failure{QStringLiteral("Could not connect to %1 port %2: %3").arg(host).arg(port).arg(client.errorString()),
                  client.errorString()};
    client.abort();
    return failure;
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

QString fileProblem(const QString &fileName)
{
    const auto text = [](const char *source) { return QCoreApplication::translate("TTCPFirmware", source); };
    if (fileName.trimmed().isEmpty())
        return text("No firmware file is chosen: press Browse and pick the controller's .hex file.");
    const QFileInfo info(fileName);
    if (info.isDir())
        return text("The firmware file %1 cannot be read: it is a folder.").arg(fileName);
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return text("The firmware file %1 cannot be read: %2").arg(fileName, file.errorString());
    if (file.size() == 0)
        return text("The firmware file %1 is empty.").arg(fileName);
    if (const QString why = hexImageProblem(file); !why.isEmpty())
        return text("The firmware file %1 is not a firmware HEX file: %2.").arg(fileName, why);
    if (file.error() != QFileDevice::NoError)
        return text("The firmware file %1 cannot be read: %2").arg(fileName, file.errorString());
    return {};
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

bool finishUpload(QTcpSocket &client, int closeWaitMs)
{
    // Closing at once is not enough: if the controller sent anything the PC has not read, the
    // system answers the close with a reset, and bytes still on their way may be thrown away.
    if (client.state() != QAbstractSocket::ConnectedState || client.bytesToWrite() > 0 || !shutDownSending(client))
        return false;
    // The bootloader knows the file has ended only by the PC's end of stream, and closes its side
    // after it has read everything; the PC's close then resets nothing.
    QElapsedTimer waited;
    waited.start();
    for (qint64 left = closeWaitMs; left > 0; left = closeWaitMs - waited.elapsed()) {
        if (client.waitForReadyRead(int(qMin<qint64>(left, PollMs)))) {
            client.readAll();
            continue;
        }
        // A reset says nothing about what arrived.
        if (client.state() != QAbstractSocket::ConnectedState)
            return client.error() == QAbstractSocket::RemoteHostClosedError;
    }
    // A controller that keeps its side open has the file if it acknowledged every byte.
    client.readAll();
    return allAcknowledged(client);
}

bool sendFirmware(QTcpSocket &client, const QString &fileName, const UploadTiming &timing)
{
    bool sent = writeAll(client, QByteArrayView(Announcement, AnnouncementSize), timing.stallTimeoutMs);
    if (sent) {
        QThread::msleep(ulong(timing.pauseMs));
        sent = ClientSendFile(client, fileName, timing.stallTimeoutMs);
    }
    if (sent)
        sent = finishUpload(client, timing.closeWaitMs);
    client.abort();
    return sent;
}

} // namespace firmware
