#pragma once

// The yardstick of the transfer figures: a bare client that makes the same
// exchanges as the program with nothing around them. It opens the line with
// plain termios (raw, 9600 baud, 8N1), writes each six-byte request, waits for
// the six reply bytes with poll() and goes on with the next request at once:
// no purge, no window, no checks beyond the frame's checksum.
//
// Typical use, against a simulator in the same run:
//     BareLine line;
//     BareOpen(&line, sim.DevicePath().c_str());
//     const BareResult r = BareRun(&line, FullReadRequests());
//     // r.ms, r.valid
//     BareClose(&line);

#include <vector>

// One open line. fd is -1 while closed.
struct BareLine {
    int fd = -1;
};

// One request frame of six bytes.
struct BareRequest {
    unsigned char bytes[6];
};

// What a series of exchanges took.
struct BareResult {
    double ms = 0;      // wall time of the whole series
    int exchanges = 0;  // requests sent
    int valid = 0;      // complete replies with a correct checksum
};

// Opens a device path (also an alias: it is followed) at 9600 baud, raw.
// 1 on success, 0 on failure.
int BareOpen(BareLine* line, const char* path);
void BareClose(BareLine* line);

// One exchange: discards nothing, writes the request, reads six bytes into
// reply. 1 when six bytes arrived before timeoutMs passed without a byte.
int BareExchange(BareLine* line, const unsigned char* request, unsigned char* reply, int timeoutMs = 1000);

// Runs the requests in order, one exchange each, and times the whole series.
BareResult BareRun(BareLine* line, const std::vector<BareRequest>& requests, int timeoutMs = 1000);

// The 162 requests of the program's full read, in its order: LPG points
// (parameters 80..159, data 100), petrol points (0..79, data 100), the start
// timeout (166, data 1000), the firmware version (160, data 1000).
std::vector<BareRequest> FullReadRequests();
// The 161 requests of the program's full write, in its order: the LPG codes
// (parameters 80..159), the petrol codes (0..79), the start timeout (166).
std::vector<BareRequest> FullWriteRequests(const short* lpgCodes, const short* petrolCodes, short startTimeout);
