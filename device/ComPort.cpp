#include "ComPort.h"

#include <QSerialPort>

ComPort* VariatorPort = new ComPort;
int VariatorBaudRate = 9600;

ComPort::ComPort() = default;

ComPort::~ComPort()
{
    Close();
}

int ComPort::Open(const char* path, int baudRate, int timeoutMs)
{
    (void)path;
    (void)baudRate;
    (void)timeoutMs;
    return 0;
}

int ComPort::SetTimeouts(int timeoutMs)
{
    (void)timeoutMs;
    return 0;
}

int ComPort::Purge() { return 0; }

int ComPort::Close()
{
    delete port;
    port = nullptr;
    return 1;
}

int ComPort::Write(const unsigned char* buffer, int n)
{
    (void)buffer;
    (void)n;
    return 0;
}

int ComPort::Read(unsigned char* buffer, int n)
{
    (void)buffer;
    (void)n;
    return 0;
}

bool ComPort::IsOpen() const { return port != nullptr; }

void DeleteVariatorPort()
{
    delete VariatorPort;
    VariatorPort = nullptr;
}

QByteArray ResolvePortPath(const char* path)
{
    return QByteArray(path);
}
