#include "sim/VariatorSim.h"

#include "device/wire/ComPort.h"
#include "device/wire/Frame.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// One character on a 9600-baud line: ten bits.
const std::chrono::microseconds ByteTime(1042);
// A request whose bytes stop coming for this long is dropped unfinished.
const int FrameGapMs = 100;
const unsigned char StrayByte = 0xA5;

int DefaultArgument(SimFault fault)
{
    switch (fault) {
    case SimFault::Short: return 3;
    case SimFault::ErrorReport: return 5;
    case SimFault::WrongEcho: return 1;
    case SimFault::Stray: return 2;
    case SimFault::Hangup: return 3;
    case SimFault::Delay: return 1000;
    default: return 0;
    }
}

struct FaultKind {
    const char* name;
    SimFault fault;
    const char* help;
};

const FaultKind FaultKinds[] = {
    {"silent", SimFault::Silent, "no reply at all"},
    {"short", SimFault::Short, "only the first ARG bytes of the reply (0-5, default 3)"},
    {"bad-crc", SimFault::BadChecksum, "the reply's checksum is spoilt"},
    {"error", SimFault::ErrorReport, "an error report with code ARG (0-65535, default 5)"},
    {"wrong-echo", SimFault::WrongEcho, "the value answered is off by ARG (default 1)"},
    {"stray", SimFault::Stray, "ARG stray bytes before the reply (1-64, default 2)"},
    {"hangup", SimFault::Hangup, "close the line after ARG bytes of the reply (0-5, default 3)"},
    {"foreign-header", SimFault::ForeignHeader, "reply byte 0 is 00 and byte 1 another parameter"},
    {"delay", SimFault::Delay, "the reply starts ARG ms late (1-60000, default 1000)"},
};

bool ParseNumber(const std::string& text, long low, long high, int* value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || v < low || v > high)
        return false;
    *value = int(v);
    return true;
}

bool ArgumentInRange(SimFault fault, int argument)
{
    switch (fault) {
    case SimFault::Short:
    case SimFault::Hangup: return argument >= 0 && argument <= 5;
    case SimFault::ErrorReport: return argument >= 0 && argument <= 0xFFFF;
    case SimFault::WrongEcho: return argument != 0 && argument >= -32768 && argument <= 32767;
    case SimFault::Stray: return argument >= 1 && argument <= 64;
    case SimFault::Delay: return argument >= 1 && argument <= 60000;
    default: return true;
    }
}

bool Applies(const SimFaultRule& rule, int number, int parameter)
{
    return rule.fault != SimFault::None
        && (rule.parameter < 0 || rule.parameter == parameter)
        && (rule.every <= 0 || number % rule.every == 0)
        && (rule.from <= 0 || number >= rule.from);
}

bool Stored(int parameter)
{
    return (parameter >= 0 && parameter < LPGFirstParameter + MapPointParameters)
        || parameter == FirmwareParameter || parameter == StartTimeoutParameter;
}

std::string Hex(const unsigned char* bytes, int n)
{
    std::string text;
    char cell[4];
    for (int i = 0; i < n; ++i) {
        std::snprintf(cell, sizeof cell, i ? " %02X" : "%02X", bytes[i]);
        text += cell;
    }
    return text;
}

}  // namespace

bool ParseSimFault(const std::string& text, SimFaultRule* rule, std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = "bad fault \"" + text + "\": " + why;
        return false;
    };
    std::vector<std::string> parts;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, ','))
        parts.push_back(part);
    if (parts.empty())
        return fail("no kind");

    SimFaultRule result;
    bool known = false;
    for (const FaultKind& kind : FaultKinds) {
        if (parts[0] == kind.name) {
            result.fault = kind.fault;
            known = true;
        }
    }
    if (!known)
        return fail("unknown kind");
    result.argument = DefaultArgument(result.fault);

    for (size_t i = 1; i < parts.size(); ++i) {
        const std::string& p = parts[i];
        const size_t eq = p.find('=');
        if (eq == std::string::npos) {
            if (i != 1 || !ParseNumber(p, -65536, 65535, &result.argument)
                || !ArgumentInRange(result.fault, result.argument))
                return fail("bad argument \"" + p + "\"");
            continue;
        }
        const std::string key = p.substr(0, eq);
        const std::string value = p.substr(eq + 1);
        bool ok = false;
        if (key == "param")
            ok = ParseNumber(value, 0, 255, &result.parameter);
        else if (key == "every")
            ok = ParseNumber(value, 1, 1000000, &result.every);
        else if (key == "from")
            ok = ParseNumber(value, 1, 1000000, &result.from);
        if (!ok)
            return fail("bad condition \"" + p + "\"");
    }
    *rule = result;
    return true;
}

std::string SimFaultHelp()
{
    std::string text =
        "  --fault=KIND[,ARG][,param=P][,every=N][,from=N]\n"
        "        misbehave on the requests that meet every condition given:\n"
        "        param=P  only requests for parameter P\n"
        "        every=N  only every Nth request (N, 2N, ...)\n"
        "        from=N   only from the Nth request on\n"
        "        The option may be repeated; the first fault that applies wins.\n"
        "        KIND is one of:\n";
    for (const FaultKind& kind : FaultKinds) {
        char line[160];
        std::snprintf(line, sizeof line, "          %-15s %s\n", kind.name, kind.help);
        text += line;
    }
    return text;
}

VariatorSim::VariatorSim()
{
    for (int i = 0; i < MapPointParameters; ++i) {
        // A plausible advance curve: rising with speed, then flat.
        const int petrol = i < 40 ? 2000 + i * 300 : 14000;
        values[PetrolFirstParameter + i] = int16_t(petrol);
        values[LPGFirstParameter + i] = int16_t(petrol + 3000);
    }
    values[FirmwareParameter] = 12;
    values[StartTimeoutParameter] = 30;
}

VariatorSim::~VariatorSim()
{
    Stop();
}

bool VariatorSim::Start(std::string* error)
{
    auto fail = [&](const char* what) {
        if (error)
            *error = std::string(what) + ": " + std::strerror(errno);
        CloseLine();
        return false;
    };
    if (thread.joinable())
        return true;
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        return fail("posix_openpt");
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return fail("grantpt/unlockpt");
    char name[128];
    if (::ptsname_r(master, name, sizeof name) != 0)
        return fail("ptsname");
    devicePath = name;
    // The simulator holds the line's far end open itself, so that the line
    // survives the program closing and reopening the port.
    slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        return fail("open slave");
    termios tio;
    if (::tcgetattr(slave, &tio) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B9600);
    if (::tcsetattr(slave, TCSANOW, &tio) != 0)
        return fail("tcsetattr");
    if (::pipe2(wake, O_CLOEXEC) != 0)
        return fail("pipe");
    hungUp = false;
    thread = std::thread(&VariatorSim::Serve, this);
    return true;
}

void VariatorSim::Stop()
{
    if (thread.joinable()) {
        const char byte = 1;
        (void)!::write(wake[1], &byte, 1);
        thread.join();
    }
    RemoveAlias();
    CloseLine();
    for (int& fd : wake) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void VariatorSim::CloseLine()
{
    if (master >= 0)
        ::close(master);
    if (slave >= 0)
        ::close(slave);
    master = slave = -1;
}

int16_t VariatorSim::Value(int parameter) const
{
    std::lock_guard<std::mutex> lock(mutex);
    return parameter >= 0 && parameter < 256 ? values[parameter] : 0;
}

void VariatorSim::SetValue(int parameter, int16_t value)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (parameter >= 0 && parameter < 256)
        values[parameter] = value;
}

int VariatorSim::RequestCount() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return requestCount;
}

std::vector<SimRequest> VariatorSim::Requests() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return requests;
}

void VariatorSim::ClearRequests()
{
    std::lock_guard<std::mutex> lock(mutex);
    requests.clear();
    requestCount = 0;
}

void VariatorSim::AddFault(const SimFaultRule& rule)
{
    std::lock_guard<std::mutex> lock(mutex);
    faults.push_back(rule);
}

void VariatorSim::ClearFaults()
{
    std::lock_guard<std::mutex> lock(mutex);
    faults.clear();
}

void VariatorSim::Serve()
{
    unsigned char frame[6];
    int have = 0;
    for (;;) {
        pollfd fds[2] = {{wake[0], POLLIN, 0}, {master, POLLIN, 0}};
        const int count = master >= 0 ? 2 : 1;
        const int r = ::poll(fds, nfds_t(count), have > 0 ? FrameGapMs : -1);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents)
            return;
        if (r == 0) {
            have = 0;  // an unfinished request is dropped after a pause
            continue;
        }
        if (count < 2 || !fds[1].revents)
            continue;
        unsigned char bytes[64];
        const ssize_t got = ::read(master, bytes, sizeof bytes);
        if (got <= 0) {
            // Nothing to read although poll said so: do not spin.
            ::usleep(10000);
            continue;
        }
        for (ssize_t i = 0; i < got && master >= 0; ++i) {
            frame[have++] = bytes[i];
            if (have == 6) {
                Answer(frame);
                have = 0;
            }
        }
    }
}

void VariatorSim::Answer(const unsigned char* request)
{
    SimRequest received;
    std::memcpy(received.bytes, request, 6);
    received.checksumOk = ChecksumMatches(request);

    const int parameter = request[1];
    const bool write = request[0] == WriteCommand;
    const int16_t data = int16_t(DataField(request));
    SimFaultRule fault;
    int value = 0;
    bool errorReply = false;
    bool handshake = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        requests.push_back(received);
        const int number = ++requestCount;
        for (const SimFaultRule& rule : faults) {
            if (Applies(rule, number, parameter)) {
                fault = rule;
                break;
            }
        }
        if (!received.checksumOk) {
            errorReply = true;
            value = int(ErrorCodeChecksum);
        } else if (parameter == HandshakeParameter) {
            // Parameter byte 0 in the answer: an echo of 0xFF would read as
            // an error report.
            handshake = true;
            value = HandshakeAnswer;
        } else if (!Stored(parameter) || (write && parameter == FirmwareParameter)) {
            errorReply = true;
            value = int(ErrorCodeParameter);
        } else {
            if (write)
                values[parameter] = data;
            value = values[parameter];
        }
    }

    unsigned char reply[6] = {request[0], request[1], 0, 0, 0, 0};
    if (errorReply)
        reply[1] = ErrorReportParameter;
    else if (handshake)
        reply[1] = 0x00;
    switch (fault.fault) {
    case SimFault::WrongEcho:
        if (!errorReply)
            value += fault.argument;
        break;
    case SimFault::ErrorReport:
        reply[1] = ErrorReportParameter;
        value = fault.argument;
        break;
    case SimFault::ForeignHeader:
        reply[0] = 0x00;
        reply[1] = parameter == 0xFE ? 0x00 : uint8_t(parameter + 1);
        break;
    default:
        break;
    }
    SetDataField(reply, value);
    PutChecksum(reply);
    if (fault.fault == SimFault::BadChecksum)
        reply[5] ^= 0x5A;

    int length = 6;
    if (fault.fault == SimFault::Silent)
        length = 0;
    else if (fault.fault == SimFault::Short || fault.fault == SimFault::Hangup)
        length = fault.argument;

    if (trace) {
        std::fprintf(stderr, "variator-sim: %s -> %s\n", Hex(request, 6).c_str(),
                     length ? Hex(reply, length).c_str() : "(no reply)");
    }

    if (!instant) {
        // The request took six character times to arrive on a real line.
        std::this_thread::sleep_for(ByteTime * 6);
    }
    if (fault.fault == SimFault::Delay)
        std::this_thread::sleep_for(std::chrono::milliseconds(fault.argument));
    if (fault.fault == SimFault::Stray) {
        const std::vector<unsigned char> stray(size_t(fault.argument), StrayByte);
        Send(stray.data(), int(stray.size()));
    }
    Send(reply, length);
    if (fault.fault == SimFault::Hangup) {
        hungUp = true;
        CloseLine();
    }
}

void VariatorSim::Send(const unsigned char* bytes, int n)
{
    if (n <= 0 || master < 0)
        return;
    if (instant) {
        (void)!::write(master, bytes, size_t(n));
        return;
    }
    // A character is received once its stop bit is through, one character
    // time after it started: the last byte of a reply arrives 6 character
    // times after the first one started, and the line is then free at once,
    // as a real one is. (Writing each byte at the start of its time would let
    // the program's own work between exchanges hide in the last character.)
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < n; ++i) {
        std::this_thread::sleep_until(start + ByteTime * (i + 1));
        (void)!::write(master, bytes + i, 1);
    }
}

bool VariatorSim::RegisterAlias(int number, std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    if (devicePath.empty())
        return fail("the line is not open");
    if (number < 1)
        return fail("bad port number");
    RemoveAlias();
    const QByteArray folder = PortAliasFolder();
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        return fail(folder.toStdString() + ": " + std::strerror(errno));
    if (!IsTrustedPortFolder(folder))
        return fail(folder.toStdString() + ": not a private folder of this user");
    const std::string alias = folder.toStdString() + "/com" + std::to_string(number);
    struct stat st;
    if (::lstat(alias.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode))
            return fail(alias + ": exists and is not an alias");
        ::unlink(alias.c_str());  // a stale alias of a line gone
    }
    if (::symlink(devicePath.c_str(), alias.c_str()) != 0)
        return fail(alias + ": " + std::strerror(errno));
    aliasPath = alias;
    return true;
}

void VariatorSim::RemoveAlias()
{
    if (aliasPath.empty())
        return;
    // Remove the alias only while it still names this line.
    char target[256];
    const ssize_t n = ::readlink(aliasPath.c_str(), target, sizeof target - 1);
    if (n >= 0) {
        target[n] = '\0';
        if (devicePath == target)
            ::unlink(aliasPath.c_str());
    }
    aliasPath.clear();
}
