#pragma once

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

private:
#ifdef _WIN32
    // The communications handle, INVALID_HANDLE_VALUE while closed.
    void* handle;
#else
    QSerialPort* port = nullptr;
    int timeout = 0;
#endif
};

extern ComPort* VariatorPort;
extern int VariatorBaudRate;

// Destroys VariatorPort, closing the device if it is open.
void DeleteVariatorPort();

// The device that a port path names on this system: "\\.\COM<n>" resolves
// through the user's alias folder and the fixed table; any other path is
// returned as given. Empty when the path names no device.
//
// On Linux, COM<n> is first looked up as the alias com<n> (a symbolic link to
// a character device) in PortAliasFolder(), which counts only when it is owned
// by the user and not writable by group or others; otherwise the fixed table
// gives COM1-32 = /dev/ttyS0-31, COM33-64 = /dev/ttyUSB0-31,
// COM65-96 = /dev/ttyACM0-31. Other numbers name no device.
QByteArray ResolvePortPath(const char* path);

// The user's private folder of port aliases: $XDG_RUNTIME_DIR/tarvo-gui where
// that variable is set, else /tmp/tarvo-gui-<uid>. Empty on Windows.
QByteArray PortAliasFolder();
// Whether folder is a real directory (not a link) owned by the user and not
// writable by group or others.
bool IsTrustedPortFolder(const QByteArray& folder);
