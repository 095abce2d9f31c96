#pragma once
// The TCP connection a firmware file goes to a network controller's bootloader over, and the
// upload itself (firmware_upload.h has the stream). No widget: the upload dialog only shows what
// this does, and the command-line program runs the same upload.
//
// Everything blocks the calling thread until it is done or has failed, with the waits of
// UploadTiming as the limits.

#include "common/result.h"
#include "firmware/firmware_upload.h"

#include <QObject>
#include <QString>

class QTcpSocket;

namespace firmware {

class UploadLink : public QObject {
    Q_OBJECT
public:
    explicit UploadLink(QObject *parent = nullptr);
    ~UploadLink() override;

    void setTiming(const UploadTiming &timing) { m_timing = timing; }
    const UploadTiming &timing() const { return m_timing; }

    // Connects to host:port (dotted IPv4 text) within the connect time. With `retryMs` > 0 a
    // failed attempt is made again every `retryMs` while that time lasts: a bootloader that was
    // just started may not listen yet. Fails with the reason when no connection was made; the
    // link is then closed.
    Result<> connectToBootloader(const QString &host, quint16 port, int retryMs = 0);
    bool isConnected() const;

    // Sends the file named `fileName` over the connection. True only when every byte of the file
    // was handed to the connection; false when the file does not exist (an empty name included),
    // is empty, cannot be read, or the connection fails meanwhile. Never throws.
    bool ClientSendFile(const QString &fileName);

    // The whole upload over the connection made before: the announcement, the pause, the file,
    // then the close (the connection is closed whatever the outcome). Succeeds when the file was
    // delivered in full; the failure says at which step it stopped.
    Result<> sendFirmware(const QString &fileName);

signals:
    // While the file goes out: how many of its `total` bytes were handed to the connection.
    void progress(qint64 sent, qint64 total);

private:
    bool writeAll(QByteArrayView bytes);
    bool finishUpload();
    Failure uploadFailure(const QString &fileName, const QString &step) const;

    QTcpSocket *m_client;
    QString m_host;
    UploadTiming m_timing;
    QString m_fileReason; // why the file could not be read, when that stopped ClientSendFile
};

} // namespace firmware
