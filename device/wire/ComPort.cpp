// ComPort on Qt Serial Port, for Linux and the other Unix systems (the build
// takes ComPortWin.cpp on Windows): the time-outs are counted here, around
// Qt's waits.

#include "device/wire/ComPort.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <algorithm>
#include <sys/ioctl.h>

ComPort* VariatorPort = new ComPort;
int VariatorBaudRate = 9600;

namespace {

// Whether the open device has modem-control lines at all. A pseudo-terminal
// has none, and then DTR and RTS simply do not exist to be switched off.
bool HasModemLines(QSerialPort* port)
{
    int lines = 0;
    return ::ioctl(int(port->handle()), TIOCMGET, &lines) == 0;
}

// Deadline of a transfer of n bytes with time-out T: n*T + T ms.
qint64 TotalTimeout(int n, int timeoutMs)
{
    return qint64(n) * timeoutMs + timeoutMs;
}

bool FailedForGood(QSerialPort* port)
{
    const QSerialPort::SerialPortError e = port->error();
    return e != QSerialPort::NoError && e != QSerialPort::TimeoutError;
}

}  // namespace

ComPort::ComPort() = default;

ComPort::~ComPort()
{
    Close();
}

int ComPort::Open(const char* path, int baudRate, int timeoutMs)
{
    if (port || !path)
        return 0;
    QByteArray device = ResolvePortPath(path);
    if (device.isEmpty())
        return 0;
    // Open the device under its real name, so that the lock that keeps a
    // second holder out is the same whichever alias names it.
    const QFileInfo info(QString::fromLocal8Bit(device));
    if (!info.exists())
        return 0;
    device = info.canonicalFilePath().toLocal8Bit();

    auto* p = new QSerialPort;
    p->setPortName(QString::fromLocal8Bit(device));
    bool ok = p->setBaudRate(baudRate) && p->setDataBits(QSerialPort::Data8)
           && p->setParity(QSerialPort::NoParity) && p->setStopBits(QSerialPort::OneStop)
           && p->setFlowControl(QSerialPort::NoFlowControl)
           && p->open(QIODevice::ReadWrite);
    if (ok) {
        // Switching the lines off fails on a device without modem lines; that
        // is no reason to refuse the device.
        if (!p->setDataTerminalReady(false) && HasModemLines(p))
            ok = false;
        if (ok && !p->setRequestToSend(false) && HasModemLines(p))
            ok = false;
        p->clearError();
    }
    if (!ok) {
        p->close();
        delete p;
        return 0;
    }
    port = p;
    if (!SetTimeouts(timeoutMs)) {
        Close();
        return 0;
    }
    return 1;
}

int ComPort::SetTimeouts(int timeoutMs)
{
    if (!port || timeoutMs <= 0)
        return 0;
    timeout = timeoutMs;
    return 1;
}

int ComPort::Purge()
{
    if (!port)
        return 0;
    return port->clear(QSerialPort::AllDirections) ? 1 : 0;
}

int ComPort::Close()
{
    if (port) {
        port->close();
        delete port;
        port = nullptr;
    }
    timeout = 0;
    return 1;
}

int ComPort::Write(const unsigned char* buffer, int n)
{
    if (!port)
        return 0;
    if (n <= 0)
        return 1;
    port->clearError();
    if (port->write(reinterpret_cast<const char*>(buffer), n) != n) {
        port->clear(QSerialPort::Output);
        return 0;
    }
    QElapsedTimer clock;
    clock.start();
    const qint64 total = TotalTimeout(n, timeout);
    while (port->bytesToWrite() > 0) {
        const qint64 wait = total - clock.elapsed();
        if (wait <= 0)
            break;
        if (!port->waitForBytesWritten(int(wait)) && FailedForGood(port))
            break;
    }
    if (port->bytesToWrite() > 0) {
        // What did not go out in time must not trail into a later request.
        port->clear(QSerialPort::Output);
        return 0;
    }
    return 1;
}

int ComPort::Read(unsigned char* buffer, int n)
{
    lastRead = 0;
    if (!port)
        return 0;
    if (n <= 0)
        return 1;
    port->clearError();
    QElapsedTimer clock;
    clock.start();
    const qint64 total = TotalTimeout(n, timeout);
    qint64 lastByte = -1;
    int received = 0;
    for (;;) {
        if (port->bytesAvailable() > 0) {
            const qint64 got = port->read(reinterpret_cast<char*>(buffer) + received, n - received);
            if (got > 0) {
                received += int(got);
                lastRead = received;
                lastByte = clock.elapsed();
            }
            if (received == n)
                return 1;
        }
        const qint64 now = clock.elapsed();
        qint64 wait = total - now;
        if (lastByte >= 0)
            wait = std::min(wait, lastByte + timeout - now);
        if (wait <= 0)
            return 0;
        if (!port->waitForReadyRead(int(wait)) && FailedForGood(port) && port->bytesAvailable() == 0)
            return 0;
    }
}

bool ComPort::IsOpen() const { return port != nullptr; }

void DeleteVariatorPort()
{
    delete VariatorPort;
    VariatorPort = nullptr;
}
