// tarvo-cli run as a program: a full read, a full write without the read-back
// and a full write with it, against the variator simulator pacing a real
// 9600-baud line, beside the line's own limit (12.5 ms an exchange) and
// beside the bare client making the same exchanges over the same simulator
// in the same run. The tool's time includes its start, the handshake and the
// files it writes; the bare client's includes opening the line.

#include "BareClient.h"
#include "device/wire/Frame.h"
#include "sim/VariatorSim.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const double ExchangeLimitMs = 12.0 * 10.0 / 9600.0 * 1000.0;  // 12.5 ms
const int Runs = 3;
const int Port = 5;

double TimeMs(const std::function<bool()>& run, bool* ok)
{
    QElapsedTimer timer;
    timer.start();
    *ok = run() && *ok;
    return timer.nsecsElapsed() / 1e6;
}

bool RunCli(const QStringList& arguments)
{
    QProcess process;
    process.setProgram(QStringLiteral(TARVO_CLI_PATH));
    process.setArguments(arguments);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start();
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

// The bare client's series: open the line, shake hands, then the requests.
bool RunBare(const VariatorSim& sim, const std::vector<BareRequest>& requests)
{
    BareLine line;
    if (!BareOpen(&line, sim.DevicePath().c_str()))
        return false;
    std::vector<BareRequest> all(1);
    BuildFrame(all[0].bytes, ReadCommand, HandshakeParameter, HandshakeData);
    all.insert(all.end(), requests.begin(), requests.end());
    const BareResult result = BareRun(&line, all);
    BareClose(&line);
    return result.valid == int(all.size());
}

void Report(const char* what, int exchanges, double cliMs, double bareMs)
{
    const double limit = exchanges * ExchangeLimitMs;
    std::printf("%s, %d exchanges, best of %d: %.1f ms, bare client %.1f ms, ratio %.3f to the bare client, "
                "line limit %.1f ms\n",
                what, exchanges, Runs, cliMs, bareMs, cliMs / bareMs, limit);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir runtime;
    QTemporaryDir work;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    // The restore points of the runs go to a throw-away history folder.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());

    VariatorSim sim;  // paced like a 9600-baud line
    std::string error;
    if (!sim.Start(&error) || !sim.RegisterAlias(Port, &error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    const QString port = QString::number(Port);
    const QString file = work.filePath(QStringLiteral("maps.xml"));

    // The codes the write sends: what the simulator holds, so that every
    // run leaves it as it was.
    short lpg[80];
    short petrol[80];
    for (int i = 0; i < MapPointParameters; ++i) {
        lpg[i] = sim.Value(LPGFirstParameter + i);
        petrol[i] = sim.Value(PetrolFirstParameter + i);
    }
    const std::vector<BareRequest> read = FullReadRequests();
    std::vector<BareRequest> write = read;
    const std::vector<BareRequest> writes = FullWriteRequests(lpg, petrol, sim.Value(StartTimeoutParameter));
    write.insert(write.end(), writes.begin(), writes.end());
    std::vector<BareRequest> verified = write;
    verified.insert(verified.end(), read.begin(), read.begin() + 2 * MapPointParameters);

    struct Case {
        const char* what;
        QStringList arguments;
        const std::vector<BareRequest>* requests;
        double cli = 1e12;
        double bare = 1e12;
    } cases[] = {
        {"tarvo-cli read", {QStringLiteral("read"), QStringLiteral("--port"), port, file}, &read},
        {"tarvo-cli write --no-verify",
         {QStringLiteral("write"), QStringLiteral("--port"), port, file, QStringLiteral("--no-verify"),
          QStringLiteral("--backup"), work.filePath(QStringLiteral("backup.xml"))},
         &write},
        {"tarvo-cli write",
         {QStringLiteral("write"), QStringLiteral("--port"), port, file, QStringLiteral("--backup"),
          work.filePath(QStringLiteral("backup.xml"))},
         &verified},
    };

    bool ok = true;
    for (int run = 0; run < Runs; ++run) {
        for (Case& c : cases) {
            // Alternating the two keeps a change of machine load from
            // favouring either side.
            c.cli = std::min(c.cli, TimeMs([&] { return RunCli(c.arguments); }, &ok));
            c.bare = std::min(c.bare, TimeMs([&] { return RunBare(sim, *c.requests); }, &ok));
        }
    }
    if (!ok) {
        std::fprintf(stderr, "a run failed\n");
        return 1;
    }
    for (const Case& c : cases)
        Report(c.what, int(c.requests->size()) + 1, c.cli, c.bare);
    return 0;
}
