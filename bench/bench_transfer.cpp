// Time of a full read (162 exchanges) and a full write (161 exchanges) against
// the variator simulator pacing a real 9600-baud line, beside the line's own
// limit: 12 bytes of 10 bits each way and back, 12.5 ms an exchange. The
// progress bar is repainted on the offscreen platform as on screen.

#include "ComPort.h"
#include "Dataextractor.h"
#include "DeviceCommands.h"
#include "Gui2.h"
#include "MapStore.h"
#include "Seams.h"
#include "TarvoApplication.h"
#include "VariatorSim.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <algorithm>
#include <functional>
#include <vector>

namespace {

const double ExchangeLimitMs = 12.0 * 10.0 / 9600.0 * 1000.0;  // 12.5 ms
const int Runs = 3;

double TimeMs(const std::function<void()>& command)
{
    QElapsedTimer timer;
    timer.start();
    command();
    return timer.nsecsElapsed() / 1e6;
}

void Report(const char* what, int exchanges, double ms)
{
    const double limit = exchanges * ExchangeLimitMs;
    std::printf("%-6s %3d exchanges: %8.1f ms, line limit %8.1f ms, ratio %.3f, %+.3f ms an exchange\n", what,
                exchanges, ms, limit, ms / limit, (ms - limit) / exchanges);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    TarvoApplication app(argc, argv);

    int messages = 0;
    SetMessageHook([&](const QString& text) {
        ++messages;
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
    });

    VariatorSim sim;
    std::string error;
    if (!sim.Start(&error) || !sim.RegisterAlias(5, &error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }

    Form2 = new TForm2;
    Form2->show();
    QCoreApplication::processEvents();
    if (!ConnectVariator(5, 0)) {
        std::fprintf(stderr, "no variator on COM5\n");
        return 1;
    }

    double bestRead = 1e9, bestWrite = 1e9;
    for (int run = 0; run < Runs; ++run) {
        const double read = TimeMs([] { Form2->ReadDataClick(); });
        Report("read", 162, read);
        const double write = TimeMs([] { Form2->WriteDataClick(); });
        Report("write", 161, write);
        bestRead = std::min(bestRead, read);
        bestWrite = std::min(bestWrite, write);
    }
    std::printf("best of %d:\n", Runs);
    Report("read", 162, bestRead);
    Report("write", 161, bestWrite);

    // Where the time beyond the line goes: the bare exchanges, without the
    // window, and the progress repaint alone.
    const double bare = TimeMs([] {
        for (int k = 0; k < 162; ++k)
            UARTdataExchange(QStringLiteral("read"), static_cast<unsigned char>(k % 160), 100, 1);
    });
    Report("bare", 162, bare);
    {
        // The simulator writes the last reply byte 11.46 ms after a request
        // and is ready for the next one 12.5 ms after it: what one exchange
        // takes beyond 11.46 ms is the program's and the scheduler's share.
        std::vector<double> each;
        for (int k = 0; k < 162; ++k) {
            each.push_back(TimeMs([k] {
                UARTdataExchange(QStringLiteral("read"), static_cast<unsigned char>(k % 160), 100, 1);
            }));
        }
        std::sort(each.begin(), each.end());
        std::printf("one exchange: min %.3f ms, median %.3f ms, p90 %.3f ms, max %.3f ms\n", each.front(),
                    each[each.size() / 2], each[each.size() * 9 / 10], each.back());
    }
    const int repaints = 1000;
    const double paint = TimeMs([] {
        for (int k = 0; k < repaints; ++k) {
            Form2->ProgressBar1->setVisible(true);
            Form2->ProgressBar1->setValue(k % 80);
            RepaintNow(Form2->ProgressBar1);
        }
        Form2->ProgressBar1->setVisible(false);
    });
    std::printf("progress repaint: %.3f ms each\n", paint / repaints);

    DisconnectVariator();
    delete Form2;
    Form2 = nullptr;
    sim.Stop();
    return messages == 0 ? 0 : 1;
}
