#pragma once

// A simulated variator on a pseudo-terminal with a port of the suite's own
// open on it; each case starts with the core as at start and a simulator
// without faults or requests.

#include "common/CoreTestBase.h"
#include "common/DeviceTestSupport.h"

struct SimLine {
    VariatorSim sim;
    ComPort port;

    void StartLine(int timeoutMs)  // initTestCase
    {
        QVERIFY(StartSim(sim));
        QCOMPARE(port.Open(sim.DevicePath().c_str(), VariatorBaudRate, timeoutMs), 1);
    }
    void ResetLine()  // init
    {
        ResetCoreGlobals();
        sim.ClearFaults();
        sim.ClearRequests();
    }
    void StopLine()  // cleanupTestCase
    {
        port.Close();
        sim.Stop();
    }
};
