// A full read (162 exchanges) and a full write (161 exchanges) by the program,
// each beside a bare client (BareClient) making the same exchanges over the
// same simulator in the same run; then "Записать изменения" for 1, 5 and 80
// changed points (each written and read back) beside the full write and the
// line limit. The simulator paces a real 9600-baud line:
// 12 characters of 10 bits, 12.5 ms an exchange. The ratio program / bare
// client is what the program adds to the line's own time.
//
// The platform is the one Qt is given (QT_QPA_PLATFORM), offscreen when none
// is: run it under Xvfb with QT_QPA_PLATFORM=xcb to see the program as the
// user does, the progress bar painted on a real X server.

#include "BareClient.h"
#include "device/wire/ComPort.h"
#include "device/core/Dataextractor.h"
#include "device/ui/DeviceCommands.h"
#include "app/ui/Gui2.h"
#include "app/core/MapStore.h"
#include "app/widgets/Seams.h"
#include "app/ui/TarvoApplication.h"
#include "sim/VariatorSim.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

const double ExchangeLimitMs = 12.0 * 10.0 / 9600.0 * 1000.0;  // 12.5 ms
const int Runs = 5;
const int ComNumber = 5;

double TimeMs(const std::function<void()>& command)
{
    QElapsedTimer timer;
    timer.start();
    command();
    return timer.nsecsElapsed() / 1e6;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// One figure: the program beside the bare client over the best runs of each.
void Report(const char* what, int exchanges, const std::vector<double>& program, const std::vector<double>& bare)
{
    const double p = *std::min_element(program.begin(), program.end());
    const double b = *std::min_element(bare.begin(), bare.end());
    std::vector<double> ratios;
    for (size_t k = 0; k < program.size(); ++k)
        ratios.push_back(program[k] / bare[k]);
    std::printf("%s, %d exchanges, %s, best of %d: ratio %.3f (median of pairs %.3f), program %.1f ms, "
                "bare client %.1f ms, %+.3f ms an exchange, line limit %.1f ms\n",
                what, exchanges, qPrintable(QGuiApplication::platformName()), int(program.size()), p / b,
                Median(ratios), p, b, (p - b) / exchanges, exchanges * ExchangeLimitMs);
}

// The codes the program sends for a map, as the bare client sends them too.
void Codes(const MapTable& table, short* codes)
{
    for (int i = 0; i < MapPoints; ++i)
        AdvanceToThousandths(table.Uoz[i], &codes[i]);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    // The restore points of the runs go to a throw-away history folder.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    TarvoApplication app(argc, argv);

    int messages = 0;
    SetMessageHook([&](const QString& text) {
        ++messages;
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
    });

    VariatorSim sim;
    std::string error;
    if (!sim.Start(&error) || !sim.RegisterAlias(ComNumber, &error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }

    Form2 = new TForm2;
    Form2->show();
    QCoreApplication::processEvents();

    std::vector<double> programRead, programWrite, bareRead, bareWrite;
    int bareValid = 0, bareExchanges = 0;
    for (int run = 0; run < Runs; ++run) {
        // The bare client has the line to itself while it runs.
        DisconnectVariator();
        BareLine line;
        if (!BareOpen(&line, sim.DevicePath().c_str())) {
            std::fprintf(stderr, "bare client: cannot open %s\n", sim.DevicePath().c_str());
            return 1;
        }
        short lpg[MapPoints], petrol[MapPoints];
        Codes(LPGTable, lpg);
        Codes(PetrolTable, petrol);
        const short timeout = short(Form2->EEditVariatorStartTimeout->text().toInt());
        const BareResult r = BareRun(&line, FullReadRequests());
        const BareResult w = BareRun(&line, FullWriteRequests(lpg, petrol, timeout));
        BareClose(&line);
        bareRead.push_back(r.ms);
        bareWrite.push_back(w.ms);
        bareValid += r.valid + w.valid;
        bareExchanges += r.exchanges + w.exchanges;

        if (!ConnectVariator(ComNumber, 0)) {
            std::fprintf(stderr, "no variator on COM%d\n", ComNumber);
            return 1;
        }
        programRead.push_back(TimeMs([] { Form2->ReadDataClick(); }));
        programWrite.push_back(TimeMs([] { Form2->WriteDataClick(); }));
    }
    Report("read", 162, programRead, bareRead);
    Report("write", 161, programWrite, bareWrite);

    // "Записать изменения" after a read: n changed LPG points, each written
    // and read back, beside the full write and the line's own limit.
    const double fullWrite = *std::min_element(programWrite.begin(), programWrite.end());
    for (int changed : {1, 5, 80}) {
        std::vector<double> times;
        for (int run = 0; run < Runs; ++run) {
            Form2->ReadDataClick();
            for (int i = 0; i < changed; ++i)
                LPGTable.Uoz[i] += 0.1 * (run % 2 ? -1 : 1);
            times.push_back(TimeMs([] { Form2->N50Click(); }));
        }
        const double best = *std::min_element(times.begin(), times.end());
        const int exchanges = 2 * changed;
        std::printf("write changes, %d points, %d exchanges, %s, best of %d: program %.1f ms, line limit %.1f ms, "
                    "ratio to the line %.3f, to the full write %.3f (%.1f ms)\n",
                    changed, exchanges, qPrintable(QGuiApplication::platformName()), Runs, best,
                    exchanges * ExchangeLimitMs, best / (exchanges * ExchangeLimitMs), best / fullWrite, fullWrite);
    }
    if (bareValid != bareExchanges)
        std::fprintf(stderr, "bare client: %d of %d replies valid\n", bareValid, bareExchanges);

    // Where time could go: the progress repaint alone.
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
    return messages == 0 && bareValid == bareExchanges ? 0 : 1;
}
