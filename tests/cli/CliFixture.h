#pragma once

// Common ground of the tarvo-cli tests: a private port alias folder shared
// with the tool, simulators reached as COM<n>, and runs of the real
// executable with its exit status and both output streams.

#include "common/CoreTestBase.h"

#include "common/SampleMaps.h"
#include "device/wire/PortPath.h"
#include "sim/VariatorSim.h"
#include "common/DeviceTestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <vector>

struct CliRun {
    int status = -1;
    QString out;
    QString err;
    QStringList lines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

class CliFixture {
public:
    QTemporaryDir runtimeDir;
    QTemporaryDir work;
    std::vector<std::unique_ptr<VariatorSim>> sims;

    // Points this process and the tool at a port folder of the test's own.
    void InitRuntime()
    {
        QVERIFY(runtimeDir.isValid());
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
        QVERIFY(ResetAliasFolder());
    }

    void Cleanup()
    {
        ResetCoreGlobals();
        sims.clear();
        QVERIFY(ResetAliasFolder());
    }

    VariatorSim* AddSim(int number, bool instant = true)
    {
        sims.push_back(StartAliasedSim(number, instant));
        return sims.back().get();
    }

    void AliasToNull(int number) { QVERIFY(AliasToDevNull(number)); }

    QString Path(const QString& name) const { return work.filePath(name); }

    // Runs tarvo-cli; during, when given, runs once the tool has started.
    CliRun Run(const QStringList& arguments, const std::function<void(QProcess&)>& during = {},
               int timeoutMs = 60000)
    {
        QProcess process;
        process.setProgram(QStringLiteral(TARVO_CLI_PATH));
        process.setArguments(arguments);
        process.start();
        CliRun run;
        if (!process.waitForStarted(10000))
            return run;
        if (during)
            during(process);
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }
};
