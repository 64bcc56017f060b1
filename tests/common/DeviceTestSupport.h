#pragma once

// Helpers of the device tests: a simulated variator on a pseudo-terminal and
// a record of the messages shown.

#include "device/wire/ComPort.h"
#include "device/wire/PortPath.h"
#include "device/core/Dataextractor.h"
#include "device/wire/Frame.h"
#include "sim/VariatorSim.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTest>
#include <memory>

// Collects every message instead of showing it.
struct MessageLog {
    QStringList texts;
    MessageLog()
    {
        SetMessageSink([this](const QString& text) { texts << text; });
    }
    ~MessageLog() { SetMessageSink(nullptr); }
};

inline SimFaultRule Fault(SimFault fault, int argument = 0, int parameter = -1, int every = 0,
                          int from = 0)
{
    SimFaultRule rule;
    rule.fault = fault;
    rule.argument = argument;
    rule.parameter = parameter;
    rule.every = every;
    rule.from = from;
    return rule;
}

// Adds faults written as the simulator's --fault takes them, e.g. "short,3,param=85".
inline bool AddFaults(VariatorSim& sim, const QStringList& faults)
{
    for (const QString& fault : faults) {
        SimFaultRule rule;
        if (!ParseSimFault(fault.toStdString(), &rule, nullptr))
            return false;
        sim.AddFault(rule);
    }
    return true;
}

// Starts an instant simulator; the test fails when that is impossible.
inline bool StartSim(VariatorSim& sim)
{
    std::string error;
    sim.SetInstant(true);
    const bool ok = sim.Start(&error);
    if (!ok)
        qWarning("variator simulator: %s", error.c_str());
    return ok;
}

inline QByteArray Bytes(const SimRequest& request)
{
    return QByteArray(reinterpret_cast<const char*>(request.bytes), 6);
}

// A simulator reachable as COM<number> through its alias in the port folder;
// ends the test run when that is impossible.
inline std::unique_ptr<VariatorSim> StartAliasedSim(int number, bool instant)
{
    auto sim = std::make_unique<VariatorSim>();
    sim->SetInstant(instant);
    std::string error;
    if (!sim->Start(&error) || !sim->RegisterAlias(number, &error))
        qFatal("simulator: %s", error.c_str());
    return sim;
}

// An empty port alias folder of this user's own, as the program trusts it.
inline bool ResetAliasFolder()
{
    const QString folder = QString::fromLocal8Bit(PortAliasFolder());
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return IsTrustedPortFolder(PortAliasFolder());
}

// Makes COM<number> name a device that cannot be opened as a serial port, so
// that an attempt on it fails at once whatever this machine has at /dev/ttyS*.
inline bool AliasToDevNull(int number)
{
    const QString alias = QString::fromLocal8Bit(PortAliasFolder() + "/com" + QByteArray::number(number));
    QFile::remove(alias);
    return QFile::link(QStringLiteral("/dev/null"), alias);
}

// Both maps in the simulator: LPG point i holds lpg(i), petrol point i petrol(i).
template <typename F, typename G>
void StoreMaps(VariatorSim& sim, F lpg, G petrol)
{
    for (int i = 0; i < MapPoints; ++i) {
        sim.SetValue(LPGFirstParameter + i, int16_t(lpg(i)));
        sim.SetValue(PetrolFirstParameter + i, int16_t(petrol(i)));
    }
}
