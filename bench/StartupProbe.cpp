// Start-up to the first shown window, against a yardstick in the same run.
//
//     bench-startup RUNS PROGRAM YARDSTICK
//
// Starts PROGRAM and YARDSTICK in turn, RUNS times each, on the X display of
// DISPLAY, and times each from the fork to the X server's MapNotify of the
// first top-level window the child maps (the probe listens for the root
// window's structure events, so there is no polling step in the figure).
// Each child is then ended and waited for before the next starts. Prints the
// medians and their ratio.

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

xcb_connection_t* Display = nullptr;

// Discards every event the server has sent so far.
void Drain()
{
    free(xcb_get_input_focus_reply(Display, xcb_get_input_focus(Display), nullptr));
    while (xcb_generic_event_t* e = xcb_poll_for_event(Display))
        free(e);
}

// Milliseconds from the start of path to its first mapped top-level window;
// negative when none came within the time limit.
double StartMs(const char* path, int limitMs)
{
    Drain();
    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 1);
        dup2(null, 2);
        execl(path, path, static_cast<char*>(nullptr));
        _exit(127);
    }
    double ms = -1;
    const int fd = xcb_get_file_descriptor(Display);
    while (ms < 0) {
        xcb_generic_event_t* e = xcb_poll_for_event(Display);
        if (!e) {
            const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
            if (spent > limitMs || xcb_connection_has_error(Display))
                break;
            pollfd p = {fd, POLLIN, 0};
            poll(&p, 1, int(limitMs - spent));
            continue;
        }
        if ((e->response_type & 0x7F) == XCB_MAP_NOTIFY) {
            const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(e);
            if (!map->override_redirect)
                ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        }
        free(e);
    }
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    return ms;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4 || std::atoi(argv[1]) < 1) {
        std::fprintf(stderr, "usage: %s RUNS PROGRAM YARDSTICK\n", argv[0]);
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    int screenNumber = 0;
    Display = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(Display)) {
        std::fprintf(stderr, "cannot open the X display\n");
        return 1;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(Display));
    for (int k = 0; k < screenNumber; ++k)
        xcb_screen_next(&it);
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(Display, it.data->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(Display);

    // One start of each first, to warm the file cache.
    StartMs(argv[2], 10000);
    StartMs(argv[3], 10000);
    std::vector<double> program, yardstick;
    for (int k = 0; k < runs; ++k) {
        const double p = StartMs(argv[2], 10000);
        const double y = StartMs(argv[3], 10000);
        if (p < 0 || y < 0) {
            std::fprintf(stderr, "no window within 10 s\n");
            return 1;
        }
        program.push_back(p);
        yardstick.push_back(y);
    }
    const double p = Median(program), y = Median(yardstick);
    std::printf("start-up to first shown window, median of %d: program %.1f ms, bare window %.1f ms, ratio %.2f\n",
                runs, p, y, p / y);
    xcb_disconnect(Display);
    return 0;
}
