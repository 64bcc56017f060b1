#pragma once

#include "device/wire/PortPath.h"

#include <QByteArray>

class QSerialPort;

// The program's only access to the serial line: one device opened by path for
// exclusive, synchronous use at 8N1 without flow control, DTR and RTS off.
// Results: 1 for success, 0 for failure.
//
// Time-outs follow one value T (ms): a read of n bytes ends after n*T + T ms in
// all, or earlier when more than T ms pass between two received bytes (counted
// from the first byte on); a write of n bytes ends after n*T + T ms.
class ComPort {
public:
    ComPort();
    ~ComPort();
    ComPort(const ComPort&) = delete;
    ComPort& operator=(const ComPort&) = delete;

    // Opens the device named by path ("\\.\COM<n>" or a device path) with the
    // baud rate and time-out T (ms). Fails on an open port and keeps it open.
    // Any failure while configuring the device leaves the port closed.
    int Open(const char* path, int baudRate, int timeoutMs);
    // All read and write time-outs take the value T (ms). Fails on a closed
    // port and for T <= 0 (which would mean waiting for ever).
    int SetTimeouts(int timeoutMs);
    // Discards what is queued for sending and what was received but not read.
    int Purge();
    int Close();
    // 1 only when all n bytes were written (read) before the time-out. A short
    // read leaves the bytes received at the start of the buffer and the rest of
    // the buffer untouched.
    int Write(const unsigned char* buffer, int n);
    int Read(unsigned char* buffer, int n);

    bool IsOpen() const;
    // How many bytes the last Read received: tells a silent line (0) from a
    // reply that broke off.
    int LastReadCount() const { return lastRead; }

private:
#ifdef _WIN32
    // The communications handle, INVALID_HANDLE_VALUE while closed.
    void* handle;
#else
    QSerialPort* port = nullptr;
    int timeout = 0;
#endif
    int lastRead = 0;
};

extern ComPort* VariatorPort;
extern int VariatorBaudRate;

// Destroys VariatorPort, closing the device if it is open.
void DeleteVariatorPort();
