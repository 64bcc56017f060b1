#pragma once

// Helpers of the device tests: a simulated variator on a pseudo-terminal and
// a record of the messages shown.

#include "ComPort.h"
#include "Dataextractor.h"
#include "VariatorSim.h"

#include <QStringList>
#include <QTest>

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
