#pragma once
// The serial line to the DMX interface, and the rules every use of it keeps.
//
// A write returns while the bytes still wait in the driver and in the USB adapter, but a change
// of the line (break, speed, framing, close) acts at once. So every write is drained before the
// line changes; otherwise the tail of a message goes out at the wrong speed or is cut by a break,
// and the controller drops it. And every open applies the whole setting for its purpose, never
// whatever the port was last left with.
//
// SerialPortIo is the port itself (a QSerialPort, or a recording fake in a test); SerialLine is
// the one place that orders what is done to it.

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <functional>
#include <optional>

namespace rdm {

enum class LineSetting {
    RdmLink,        // 250000 baud 8N2, each message after a break
    BootloaderLink, // 19200 baud 8N1
};

struct LineParameters {
    qint32 baud;
    QSerialPort::StopBits stopBits;
};
LineParameters lineParameters(LineSetting setting);

class SerialPortIo : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void setPortName(const QString &name) = 0;
    // Closed: 8 data bits, no parity, no flow control and the setting's speed and stop bits,
    // then opened with DTR on and RTS off and stale input dropped.
    virtual bool open(LineSetting setting) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual void setBreak(bool on) = 0;
    // Returns false when not every byte was taken.
    virtual bool write(const QByteArray &bytes) = 0;
    // Returns once every byte written has left the interface.
    virtual bool drain() = 0;
    virtual QByteArray readAll() = 0;
    // Takes in, without waiting, what has reached the port but not yet been announced by
    // readyRead (which it then emits).
    virtual void pollInput() {}
    // Throws away what has reached the port and not been read.
    virtual void dropInput() {}

    virtual QSerialPort::SerialPortError error() const = 0;
    virtual QString errorString() const = 0;
    virtual void clearError() = 0;

signals:
    void readyRead();
    void errorOccurred();
};

// The serial low-latency flag of a port's driver: USB serial adapters of the common kind hand
// received bytes over after 1 ms instead of waiting up to 16 ms for their latency timer. Any user
// who may open the port may set it (Linux); elsewhere, and on ports without it (a pseudo-terminal),
// `get` has no answer.
struct LowLatencyFlag {
    std::function<std::optional<bool>(qintptr fd)> get;
    std::function<bool(qintptr fd, bool on)> set;
};
LowLatencyFlag systemLowLatencyFlag();

// The real port.
class QtSerialPortIo : public SerialPortIo {
    Q_OBJECT
public:
    explicit QtSerialPortIo(QObject *parent = nullptr);

    QSerialPort *port() const { return m_port; }
    // How the flag is reached; a benchmark's virtual adapter takes the request in its place.
    void setLowLatencyFlag(LowLatencyFlag flag) { m_lowLatency = std::move(flag); }

    void setPortName(const QString &name) override;
    bool open(LineSetting setting) override;
    void close() override;
    bool isOpen() const override;
    void setBreak(bool on) override;
    bool write(const QByteArray &bytes) override;
    bool drain() override;
    QByteArray readAll() override;
    void pollInput() override;
    void dropInput() override;
    QSerialPort::SerialPortError error() const override;
    QString errorString() const override;
    void clearError() override;

private:
    // Best effort: sets the flag where it is off and can be set; a line in the log says what was done.
    void lowerLatency();

    QSerialPort *m_port;
    LowLatencyFlag m_lowLatency = systemLowLatencyFlag();
    bool m_restoreLowLatency = false; // set by open: cleared again before the port closes
};

class SerialLine {
public:
    explicit SerialLine(SerialPortIo &io) : m_io(io) {}

    // Closes (drained) and opens again with the whole setting.
    bool open(LineSetting setting);
    // Drained first: the port restores its earlier settings as it closes.
    void close();
    bool isOpen() const { return m_io.isOpen(); }
    LineSetting setting() const { return m_setting; }

    // An RDM message: break for `breakUs`, release, the message in one write, drained.
    static constexpr int DefaultBreakUs = 1000;
    bool sendFrame(const QByteArray &message, int breakUs = DefaultBreakUs);
    // Bytes without a break (the bootloader's), drained.
    bool sendBytes(const QByteArray &bytes);

    SerialPortIo &io() { return m_io; }

private:
    SerialPortIo &m_io;
    LineSetting m_setting = LineSetting::RdmLink;
};

} // namespace rdm
