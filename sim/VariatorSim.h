#pragma once

// A bench stand-in for the variator on a pseudo-terminal: it answers six-byte
// request frames the way the device does, keeps the maps and settings in
// memory, paces its bytes like a 9600-baud line and can misbehave on demand.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

enum class SimFault {
    None,
    Silent,         // no reply at all
    Short,          // only the first `argument` bytes of the reply
    BadChecksum,    // the reply's checksum is spoilt
    ErrorReport,    // an error report with code `argument`
    WrongEcho,      // the value answered is off by `argument`
    Stray,          // `argument` stray bytes go out before the reply
    Hangup,         // the line is closed after `argument` bytes of the reply
    ForeignHeader,  // byte 0 is 0x00 and byte 1 another parameter (checksum right)
    Delay,          // the reply starts `argument` ms late
};

// One fault and the requests it applies to. All conditions must hold; the
// first rule that applies to a request decides its fault.
struct SimFaultRule {
    SimFault fault = SimFault::None;
    int argument = 0;
    int parameter = -1;  // only requests for this parameter; -1: any
    int every = 0;       // only every Nth request (N, 2N, ...); 0: all
    int from = 0;        // only from the Nth request on; 0: from the first
};

// One request as the variator received it.
struct SimRequest {
    unsigned char bytes[6];
    bool checksumOk;
};

// Parses "KIND[,ARG][,param=P][,every=N][,from=N]", for example "short,3",
// "silent,from=10", "error,5,param=80", "bad-crc,every=4". On failure returns
// false and sets error.
bool ParseSimFault(const std::string& text, SimFaultRule* rule, std::string* error);
// Lines of help text about the fault syntax and kinds.
std::string SimFaultHelp();

class VariatorSim {
public:
    VariatorSim();
    ~VariatorSim();
    VariatorSim(const VariatorSim&) = delete;
    VariatorSim& operator=(const VariatorSim&) = delete;

    // Creates the pseudo-terminal and starts answering on a thread of its own.
    bool Start(std::string* error = nullptr);
    // Stops the thread and closes the line (also removes a registered alias).
    void Stop();
    // The device path of the program's side of the line, e.g. /dev/pts/3.
    std::string DevicePath() const { return devicePath; }

    // Answer at once instead of at the pace of a 9600-baud line.
    void SetInstant(bool on) { instant = on; }
    // Print every request and reply on standard error.
    void SetTrace(bool on) { trace = on; }

    // Stored values, thread-safe. Unknown parameters read as 0.
    int16_t Value(int parameter) const;
    void SetValue(int parameter, int16_t value);

    // Requests received so far (also those with a bad checksum).
    int RequestCount() const;
    std::vector<SimRequest> Requests() const;
    void ClearRequests();

    void AddFault(const SimFaultRule& rule);
    void ClearFaults();
    // Whether a Hangup fault has closed the line.
    bool HungUp() const { return hungUp; }

    // Registers the alias com<n> for this line in the user's private port
    // folder, creating the folder (mode 0700) when needed.
    bool RegisterAlias(int number, std::string* error = nullptr);
    void RemoveAlias();
    std::string AliasPath() const { return aliasPath; }

private:
    void Serve();
    void Answer(const unsigned char* request);
    void Send(const unsigned char* bytes, int n);
    void CloseLine();

    mutable std::mutex mutex;
    std::thread thread;
    int master = -1;
    int slave = -1;
    int wake[2] = {-1, -1};
    std::string devicePath;
    std::string aliasPath;
    std::atomic<bool> instant{false};
    std::atomic<bool> trace{false};
    std::atomic<bool> hungUp{false};
    int16_t values[256] = {};
    std::vector<SimRequest> requests;
    int requestCount = 0;
    std::vector<SimFaultRule> faults;
};
