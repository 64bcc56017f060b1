// ComPort on the Win32 communications API: one handle opened for exclusive,
// synchronous use; the driver's own time-outs bound every read and write, so
// nothing here waits, polls or counts time.

#include "device/wire/ComPort.h"

#include <windows.h>

ComPort* VariatorPort = new ComPort;
int VariatorBaudRate = 9600;

namespace {

const DWORD QueueSize = 1024;

// 8N1, no flow control, DTR and RTS held off while the port is open. Built
// from zero every time: the driver's previous settings never leak in. The
// lines are switched off through these settings alone, not one by one with
// EscapeCommFunction, which fails on a port that has no modem lines (a
// pseudo-terminal under Wine); such a port is no reason to refuse the open.
DCB LineSettings(int baudRate)
{
    DCB dcb;
    ZeroMemory(&dcb, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = DWORD(baudRate);
    dcb.fBinary = 1;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    return dcb;
}

}  // namespace

ComPort::ComPort()
    : handle(INVALID_HANDLE_VALUE) {}

ComPort::~ComPort()
{
    Close();
}

int ComPort::Open(const char* path, int baudRate, int timeoutMs)
{
    if (handle != INVALID_HANDLE_VALUE || !path || baudRate <= 0)
        return 0;
    const QByteArray device = ResolvePortPath(path);
    if (device.isEmpty())
        return 0;
    HANDLE h = CreateFileA(device.constData(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    // Only a serial device has line settings; a file or pipe opened by
    // mistake fails here and is released.
    DCB dcb = LineSettings(baudRate);
    if (!SetupComm(h, QueueSize, QueueSize) || !SetCommState(h, &dcb)) {
        CloseHandle(h);
        return 0;
    }
    handle = h;
    if (!SetTimeouts(timeoutMs)) {
        Close();
        return 0;
    }
    return 1;
}

int ComPort::SetTimeouts(int timeoutMs)
{
    // T <= 0 would turn into "no time-out at all" (or a huge unsigned one).
    if (handle == INVALID_HANDLE_VALUE || timeoutMs <= 0)
        return 0;
    // A read of n bytes: n*T + T in all, and at most T between two bytes once
    // the first has come; a write of n bytes: n*T + T.
    const DWORD t = DWORD(timeoutMs);
    COMMTIMEOUTS timeouts;
    timeouts.ReadIntervalTimeout = t;
    timeouts.ReadTotalTimeoutMultiplier = t;
    timeouts.ReadTotalTimeoutConstant = t;
    timeouts.WriteTotalTimeoutMultiplier = t;
    timeouts.WriteTotalTimeoutConstant = t;
    return SetCommTimeouts(handle, &timeouts) ? 1 : 0;
}

int ComPort::Purge()
{
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    return PurgeComm(handle, PURGE_TXCLEAR | PURGE_RXCLEAR) ? 1 : 0;
}

int ComPort::Close()
{
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
    return 1;
}

int ComPort::Write(const unsigned char* buffer, int n)
{
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    if (n <= 0)
        return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(handle, buffer, DWORD(n), &written, nullptr);
    if (ok && written == DWORD(n))
        return 1;
    // What did not go out in time must not trail into a later request.
    PurgeComm(handle, PURGE_TXCLEAR);
    return 0;
}

int ComPort::Read(unsigned char* buffer, int n)
{
    lastRead = 0;
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    if (n <= 0)
        return 1;
    DWORD received = 0;
    const BOOL ok = ReadFile(handle, buffer, DWORD(n), &received, nullptr);
    lastRead = int(received);
    return ok && received == DWORD(n) ? 1 : 0;
}

bool ComPort::IsOpen() const { return handle != INVALID_HANDLE_VALUE; }

void DeleteVariatorPort()
{
    delete VariatorPort;
    VariatorPort = nullptr;
}
