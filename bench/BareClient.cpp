#include "BareClient.h"

#include "device/wire/Frame.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>

int BareOpen(BareLine* line, const char* path)
{
    if (!line || !path || line->fd >= 0)
        return 0;
    const int fd = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    termios tio;
    if (::tcgetattr(fd, &tio) != 0) {
        ::close(fd);
        return 0;
    }
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B9600);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        ::close(fd);
        return 0;
    }
    // Whatever an earlier user left on the line is not ours.
    ::tcflush(fd, TCIOFLUSH);
    line->fd = fd;
    return 1;
}

void BareClose(BareLine* line)
{
    if (line && line->fd >= 0) {
        ::close(line->fd);
        line->fd = -1;
    }
}

int BareExchange(BareLine* line, const unsigned char* request, unsigned char* reply, int timeoutMs)
{
    if (!line || line->fd < 0)
        return 0;
    int sent = 0;
    while (sent < FrameSize) {
        const ssize_t n = ::write(line->fd, request + sent, size_t(FrameSize - sent));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return 0;
        sent += int(n);
    }
    int got = 0;
    while (got < FrameSize) {
        pollfd p = {line->fd, POLLIN, 0};
        const int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return 0;
        const ssize_t n = ::read(line->fd, reply + got, size_t(FrameSize - got));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return 0;
        got += int(n);
    }
    return 1;
}

BareResult BareRun(BareLine* line, const std::vector<BareRequest>& requests, int timeoutMs)
{
    BareResult result;
    const auto start = std::chrono::steady_clock::now();
    for (const BareRequest& request : requests) {
        unsigned char reply[FrameSize];
        ++result.exchanges;
        if (BareExchange(line, request.bytes, reply, timeoutMs) && ChecksumMatches(reply) && !IsErrorReport(reply))
            ++result.valid;
    }
    result.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return result;
}

namespace {

BareRequest Request(unsigned char command, int parameter, int data)
{
    BareRequest r;
    BuildFrame(r.bytes, command, static_cast<unsigned char>(parameter), data);
    return r;
}

}  // namespace

std::vector<BareRequest> FullReadRequests()
{
    std::vector<BareRequest> requests;
    for (int i = 0; i < MapPointParameters; ++i)
        requests.push_back(Request(ReadCommand, LPGFirstParameter + i, MapReadData));
    for (int i = 0; i < MapPointParameters; ++i)
        requests.push_back(Request(ReadCommand, PetrolFirstParameter + i, MapReadData));
    requests.push_back(Request(ReadCommand, StartTimeoutParameter, SettingReadData));
    requests.push_back(Request(ReadCommand, FirmwareParameter, SettingReadData));
    return requests;
}

std::vector<BareRequest> FullWriteRequests(const short* lpgCodes, const short* petrolCodes, short startTimeout)
{
    std::vector<BareRequest> requests;
    for (int i = 0; i < MapPointParameters; ++i)
        requests.push_back(Request(WriteCommand, LPGFirstParameter + i, lpgCodes[i]));
    for (int i = 0; i < MapPointParameters; ++i)
        requests.push_back(Request(WriteCommand, PetrolFirstParameter + i, petrolCodes[i]));
    requests.push_back(Request(WriteCommand, StartTimeoutParameter, startTimeout));
    return requests;
}
