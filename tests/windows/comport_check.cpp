// Checks ComPort on the Win32 communications API against variator-sim behind
// a COM port. The simulator must run with
//   --fault=silent,param=1 --fault=short,3,param=2 --fault=delay,1000,param=3
// so that a read of parameter 1 is never answered, one of parameter 2 gets
// only the first three bytes of its reply and one of parameter 3 is answered
// a second late.
//
// Usage: comport_check <port path> <path naming no device>
// Prints "PASS name" or "FAIL name: why" per case; exit status 1 on failure.

#include "device/wire/ComPort.h"
#include "device/wire/Crc.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

int failures = 0;

void Report(const char* name, bool ok, const char* why)
{
    if (ok)
        std::printf("PASS %s\n", name);
    else
        std::printf("FAIL %s: %s\n", name, why);
    std::fflush(stdout);
    if (!ok)
        ++failures;
}

#define EXPECT(condition)                                                     \
    do {                                                                      \
        if (!(condition)) {                                                   \
            Report(name, false, #condition);                                  \
            return;                                                           \
        }                                                                     \
    } while (0)

const unsigned char Handshake[6] = {0x55, 0xFF, 0x00, 0x0B, 0x33, 0xB6};

void ReadRequest(unsigned char parameter, unsigned char frame[6])
{
    frame[0] = 0x55;
    frame[1] = parameter;
    frame[2] = 0x03;
    frame[3] = 0xE8;
    const uint16_t crc = Crc16(frame, 4);
    frame[4] = uint8_t(crc >> 8);
    frame[5] = uint8_t(crc & 0xFF);
}

bool Answers(ComPort& port)
{
    unsigned char frame[6];
    std::memcpy(frame, Handshake, 6);
    return port.Write(frame, 6) == 1 && port.Read(frame, 6) == 1 && frame[0] == 0x55
        && frame[2] == 0 && frame[3] == 1;
}

const char* device = nullptr;
const char* missing = nullptr;

void StateRules()
{
    const char* name = "state rules";
    ComPort port;
    EXPECT(!port.IsOpen());
    EXPECT(port.Close() == 1);
    EXPECT(port.Open(missing, 9600, 500) == 0);
    EXPECT(!port.IsOpen());
    EXPECT(port.Open("", 9600, 500) == 0);
    EXPECT(port.Open(device, 9600, 500) == 1);
    EXPECT(port.IsOpen());
    // A second open fails and keeps the device that is open.
    EXPECT(port.Open(device, 9600, 500) == 0);
    EXPECT(port.Open(missing, 9600, 500) == 0);
    EXPECT(port.IsOpen());
    EXPECT(Answers(port));
    EXPECT(port.Purge() == 1);
    EXPECT(port.SetTimeouts(0) == 0);
    EXPECT(port.SetTimeouts(-5) == 0);
    EXPECT(port.SetTimeouts(1000) == 1);
    EXPECT(Answers(port));
    EXPECT(port.Close() == 1);
    EXPECT(!port.IsOpen());
    EXPECT(port.Close() == 1);
    EXPECT(port.Open(device, 9600, 1000) == 1);
    EXPECT(Answers(port));
    Report(name, true, "");
}

void ClosedPortFails()
{
    const char* name = "closed port fails at once";
    ComPort port;
    unsigned char buffer[6] = {1, 2, 3, 4, 5, 6};
    const DWORD start = GetTickCount();
    EXPECT(port.Write(buffer, 6) == 0);
    EXPECT(port.Read(buffer, 6) == 0);
    EXPECT(port.Purge() == 0);
    EXPECT(port.SetTimeouts(100) == 0);
    EXPECT(GetTickCount() - start < 1000);
    EXPECT(buffer[0] == 1 && buffer[5] == 6);
    Report(name, true, "");
}

// Wine does not refuse a second open of a serial device (Windows' serial
// drivers do), so there the case cannot be shown.
bool UnderWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// The device is opened for this program alone.
void Exclusive()
{
    const char* name = "second holder is refused";
    if (UnderWine()) {
        std::printf("SKIP %s: Wine does not enforce exclusive opens of serial devices\n", name);
        return;
    }
    ComPort first;
    ComPort second;
    EXPECT(first.Open(device, 9600, 500) == 1);
    EXPECT(second.Open(device, 9600, 500) == 0);
    EXPECT(!second.IsOpen());
    EXPECT(Answers(first));
    first.Close();
    EXPECT(second.Open(device, 9600, 500) == 1);
    Report(name, true, "");
}

// Nothing arrives: the read ends after 6*T + T and leaves the buffer alone.
void SilentPeer()
{
    const char* name = "silent peer ends the read after the total time-out";
    ComPort port;
    EXPECT(port.Open(device, 9600, 500) == 1);
    unsigned char frame[6];
    ReadRequest(1, frame);
    EXPECT(port.Write(frame, 6) == 1);
    unsigned char buffer[6] = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6};
    const DWORD start = GetTickCount();
    EXPECT(port.Read(buffer, 6) == 0);
    const DWORD elapsed = GetTickCount() - start;
    std::printf("     silent read ended after %lu ms (expected 3500)\n", (unsigned long)elapsed);
    EXPECT(elapsed >= 3000);
    EXPECT(elapsed < 30000);
    EXPECT(std::memcmp(buffer, "\xA1\xA2\xA3\xA4\xA5\xA6", 6) == 0);
    // The line is still good for the next exchange.
    EXPECT(Answers(port));
    Report(name, true, "");
}

// Three bytes, then nothing: the gap after them ends the read, with the three
// bytes at the start of the buffer and the rest untouched.
void ShortReply()
{
    const char* name = "short reply keeps the bytes received";
    ComPort port;
    EXPECT(port.Open(device, 9600, 500) == 1);
    unsigned char frame[6];
    ReadRequest(2, frame);
    EXPECT(port.Write(frame, 6) == 1);
    unsigned char buffer[6] = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6};
    const DWORD start = GetTickCount();
    EXPECT(port.Read(buffer, 6) == 0);
    const DWORD elapsed = GetTickCount() - start;
    std::printf("     short read ended after %lu ms (expected 500)\n", (unsigned long)elapsed);
    // Ended by the gap after the third byte, not by the total time-out.
    EXPECT(elapsed < 3000);
    EXPECT(buffer[0] == 0x55 && buffer[1] == 2);
    EXPECT(buffer[3] == 0xA4 && buffer[4] == 0xA5 && buffer[5] == 0xA6);
    EXPECT(port.Purge() == 1);
    EXPECT(Answers(port));
    Report(name, true, "");
}

// The gap between bytes is counted from the first byte on: a reply that
// starts a second late (T = 500) is still read whole within 6*T + T.
void LateReply()
{
    const char* name = "a late reply within the total time-out is read";
    ComPort port;
    EXPECT(port.Open(device, 9600, 500) == 1);
    unsigned char frame[6];
    ReadRequest(3, frame);
    EXPECT(port.Write(frame, 6) == 1);
    EXPECT(port.Read(frame, 6) == 1);
    EXPECT(frame[0] == 0x55 && frame[1] == 3);
    EXPECT(Crc16(frame, 4) == uint16_t(frame[4] << 8 | frame[5]));
    Report(name, true, "");
}

// A path that is not a serial device has no line settings: the open fails
// and releases it.
void NotASerialDevice()
{
    const char* name = "a plain file is not a port";
    char folder[MAX_PATH];
    char file[MAX_PATH];
    EXPECT(GetTempPathA(MAX_PATH, folder) > 0);
    EXPECT(GetTempFileNameA(folder, "tgp", 0, file) != 0);
    ComPort port;
    EXPECT(port.Open(file, 9600, 500) == 0);
    EXPECT(!port.IsOpen());
    // Released: the file can be deleted, and the next open starts afresh.
    EXPECT(DeleteFileA(file) != 0);
    EXPECT(port.Open(device, 9600, 500) == 1);
    EXPECT(Answers(port));
    Report(name, true, "");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: comport_check <port path> <path naming no device>\n");
        return 2;
    }
    device = argv[1];
    missing = argv[2];
    DeleteVariatorPort();
    StateRules();
    ClosedPortFails();
    Exclusive();
    SilentPeer();
    ShortReply();
    LateReply();
    NotASerialDevice();
    std::printf("comport_check: %d failed\n", failures);
    return failures ? 1 : 0;
}
