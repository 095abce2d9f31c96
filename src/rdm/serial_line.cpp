#include "rdm/serial_line.h"

#include <QThread>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <termios.h>
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
    // Answers to messages sent while nobody listened (set messages) are still queued.
    m_port->clear(QSerialPort::Input);
    m_port->clearError();
    return true;
}

void QtSerialPortIo::close()
{
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
