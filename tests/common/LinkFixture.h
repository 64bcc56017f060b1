#pragma once

// Common ground of the connection and transfer tests: a private port alias
// folder, a main window with recorded messages, and variator simulators that
// are reached as COM<n> through their aliases.

#include "common/SampleMaps.h"
#include "common/WindowTestBase.h"

#include "device/wire/ComPort.h"
#include "device/core/Dataextractor.h"
#include "common/DeviceTestSupport.h"
#include "device/ui/DeviceCommands.h"
#include "sim/VariatorSim.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <unistd.h>
#include <vector>

// Records what a widget showed each time it was painted.
class PaintRecorder : public QObject {
public:
    QStringList shown;
    std::function<QString()> what;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && (shown.isEmpty() || shown.back() != what()))
            shown << what();
        return false;
    }
};

class LinkFixture : public WindowTestBase {
public:
    QTemporaryDir runtimeDir;
    // The caption of Label2 (or "hidden") at the moment each message was shown.
    QStringList statusAtMessage;
    std::vector<std::unique_ptr<VariatorSim>> sims;

    // Points the port alias folder at a folder of the test's own.
    void InitRuntime()
    {
        QVERIFY(runtimeDir.isValid());
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
        QVERIFY(ResetAliasFolder());
    }

    void InitWindow()
    {
        statusAtMessage.clear();
        onMessage = [this](const QString&) {
            statusAtMessage << (w && w->Label2->isVisibleTo(w) ? w->Label2->text() : QStringLiteral("hidden"));
        };
        if (!VariatorPort)
            VariatorPort = new ComPort;
        StartWindow();
    }

    void CleanupWindow()
    {
        DisconnectVariator();
        EndWindow();
        sims.clear();
        ResetAliasFolder();
    }

    // A simulator answering at once, reachable as COM<number>.
    VariatorSim* AddSim(int number, bool instant = true)
    {
        sims.push_back(StartAliasedSim(number, instant));
        return sims.back().get();
    }

    // COM<number> names a device that cannot be opened as a serial port, so
    // an attempt on it fails at once whatever this machine has at /dev/ttyS*.
    void AliasToNull(int number)
    {
        QVERIFY(AliasToDevNull(number));
    }

    void ConnectTo(int number)
    {
        QCOMPARE(int(ConnectVariator(number, 0)), 1);
        QCOMPARE(w->Label2->text(), ConnectedCaption);
    }
};
