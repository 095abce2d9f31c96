#include "rdm/serial_line.h"

#include "common/log_categories.h"

#include <QThread>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <termios.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace rdm {

namespace {
constexpr int WriteWaitMs = 1000; // a block at 19200 baud takes 69 ms
} // namespace

LineParameters lineParameters(LineSetting setting)
{
    switch (setting) {
    case LineSetting::BootloaderLink: return {19200, QSerialPort::OneStop};
    case LineSetting::RdmLink: break;
    }
    return {250000, QSerialPort::TwoStop}; // not one of the standard rates
}

LowLatencyFlag systemLowLatencyFlag()
{
#ifdef Q_OS_LINUX
    return {[](qintptr fd) -> std::optional<bool> {
                serial_struct ss{};
                if (::ioctl(int(fd), TIOCGSERIAL, &ss) != 0)
                    return std::nullopt;
                return (ss.flags & ASYNC_LOW_LATENCY) != 0;
            },
            [](qintptr fd, bool on) {
                serial_struct ss{};
                if (::ioctl(int(fd), TIOCGSERIAL, &ss) != 0)
                    return false;
                ss.flags = on ? (ss.flags | ASYNC_LOW_LATENCY) : (ss.flags & ~ASYNC_LOW_LATENCY);
                return ::ioctl(int(fd), TIOCSSERIAL, &ss) == 0;
            }};
#else
    return {[](qintptr) -> std::optional<bool> { return std::nullopt; }, [](qintptr, bool) { return false; }};
#endif
}

QtSerialPortIo::QtSerialPortIo(QObject *parent) : SerialPortIo(parent), m_port(new QSerialPort(this))
{
    m_port->setObjectName(QStringLiteral("ComPort1"));
    connect(m_port, &QSerialPort::readyRead, this, &SerialPortIo::readyRead);
    connect(m_port, &QSerialPort::errorOccurred, this, &SerialPortIo::errorOccurred);
}

void QtSerialPortIo::setPortName(const QString &name)
{
    m_port->setPortName(name);
}

bool QtSerialPortIo::open(LineSetting setting)
{
    const LineParameters p = lineParameters(setting);
    m_port->setBaudRate(p.baud);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(p.stopBits);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port->open(QIODevice::ReadWrite))
        return false;
    // A pseudo-terminal and some adapters cannot drive DTR or RTS; the line works without them.
    m_port->setDataTerminalReady(true);
    m_port->setRequestToSend(false);
    lowerLatency();
    // Answers to messages sent while nobody listened (set messages) are still queued.
    m_port->clear(QSerialPort::Input);
    m_port->clearError();
    return true;
}

void QtSerialPortIo::lowerLatency()
{
    m_restoreLowLatency = false;
    const auto fd = qintptr(m_port->handle());
    const std::optional<bool> was = m_lowLatency.get ? m_lowLatency.get(fd) : std::nullopt;
    if (!was) {
        // The search works all the same, its waits sized for an adapter that holds replies.
        qCDebug(lcRdm).noquote() << "serial port" << m_port->portName()
                                 << "has no low-latency flag; the adapter keeps its own latency";
    } else if (*was) {
        qCDebug(lcRdm).noquote() << "serial port" << m_port->portName() << "already in low-latency mode";
    } else if (m_lowLatency.set(fd, true)) {
        m_restoreLowLatency = true;
        qCDebug(lcRdm).noquote() << "serial port" << m_port->portName()
                                 << "set to low-latency mode (was off; restored on close)";
    } else {
        qCDebug(lcRdm).noquote() << "serial port" << m_port->portName()
                                 << "low-latency mode not set: the driver refused it";
    }
}

void QtSerialPortIo::close()
{
    if (m_restoreLowLatency && m_port->isOpen()) {
        // The port is left as it was found, for whatever uses it next.
        m_restoreLowLatency = false;
        if (!m_lowLatency.set(qintptr(m_port->handle()), false))
            qCDebug(lcRdm).noquote() << "serial port" << m_port->portName() << "low-latency mode could not be cleared";
    }
    m_port->close();
}

bool QtSerialPortIo::isOpen() const
{
    return m_port->isOpen();
}

void QtSerialPortIo::setBreak(bool on)
{
    m_port->setBreakEnabled(on);
}

bool QtSerialPortIo::write(const QByteArray &bytes)
{
    return m_port->write(bytes) == bytes.size();
}

bool QtSerialPortIo::drain()
{
    // Out of Qt's own buffer into the driver, then out of the driver and the adapter.
    m_port->flush();
    while (m_port->bytesToWrite() > 0)
        if (!m_port->waitForBytesWritten(WriteWaitMs))
            return false;
#ifdef Q_OS_WIN
    return FlushFileBuffers(m_port->handle());
#else
    int rc;
    do
        rc = ::tcdrain(m_port->handle());
    while (rc != 0 && errno == EINTR);
    return rc == 0;
#endif
}

QByteArray QtSerialPortIo::readAll()
{
    return m_port->readAll();
}

void QtSerialPortIo::pollInput()
{
    if (m_port->isOpen())
        m_port->waitForReadyRead(0);
}

void QtSerialPortIo::dropInput()
{
    if (m_port->isOpen())
        m_port->clear(QSerialPort::Input);
}

QSerialPort::SerialPortError QtSerialPortIo::error() const
{
    return m_port->error();
}

QString QtSerialPortIo::errorString() const
{
    return m_port->errorString();
}

void QtSerialPortIo::clearError()
{
    m_port->clearError();
}

bool SerialLine::open(LineSetting setting)
{
    close();
    m_setting = setting;
    return m_io.open(setting);
}

void SerialLine::close()
{
    if (!m_io.isOpen())
        return;
    m_io.drain();
    m_io.close();
}

bool SerialLine::sendFrame(const QByteArray &message, int breakUs)
{
    if (!m_io.isOpen())
        return false;
    m_io.setBreak(true);
    QThread::usleep(ulong(breakUs));
    m_io.setBreak(false);
    return m_io.write(message) && m_io.drain();
}

bool SerialLine::sendBytes(const QByteArray &bytes)
{
    if (!m_io.isOpen())
        return false;
    return m_io.write(bytes) && m_io.drain();
}

} // namespace rdm
