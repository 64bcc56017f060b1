#pragma once

#include <QByteArray>

class QSerialPort;

// The program's only access to the serial line: one device opened by path for
// exclusive, synchronous use at 8N1 without flow control, DTR and RTS off.
// Results: 1 for success, 0 for failure.
class ComPort {
public:
    ComPort();
    ~ComPort();
    ComPort(const ComPort&) = delete;
    ComPort& operator=(const ComPort&) = delete;

    // Opens the device named by path ("\\.\COM<n>" or a device path) with the
    // baud rate and time-out T (ms). Fails on an open port and keeps it open.
    int Open(const char* path, int baudRate, int timeoutMs);
    // All read and write time-outs take the value T (ms).
    int SetTimeouts(int timeoutMs);
    // Discards what is queued for sending and what was received but not read.
    int Purge();
    int Close();
    // 1 only when all n bytes were written (read) before the time-out.
    int Write(const unsigned char* buffer, int n);
    int Read(unsigned char* buffer, int n);

    bool IsOpen() const;

private:
    QSerialPort* port = nullptr;
    int timeout = 0;
};

extern ComPort* VariatorPort;
extern int VariatorBaudRate;

// Destroys VariatorPort, closing the device if it is open.
void DeleteVariatorPort();

// The device that a port path names on this system: "\\.\COM<n>" resolves
// through the user's alias folder and the fixed table; any other path is
// returned as given. Empty when the path names no device.
QByteArray ResolvePortPath(const char* path);
