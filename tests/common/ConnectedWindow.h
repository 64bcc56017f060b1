#pragma once

// The ground of the transfer suites: a main window connected to one
// simulated variator that has received nothing yet.

#include "common/LinkFixture.h"

class ConnectedWindow : public LinkFixture {
public:
    VariatorSim* sim = nullptr;

    // Connected to a simulator on COM<number>; no request, message or status
    // recorded yet.
    void ConnectWindow(int number)
    {
        InitWindow();
        sim = AddSim(number);
        ConnectTo(number);
        sim->ClearRequests();
        messages.clear();
        statusAtMessage.clear();
    }

    // A silent exchange lasts 7 * T: the tests that make the variator fall
    // silent lower T from 1000 ms to 100 ms, so each costs 0.7 s, not 7 s.
    static void ShortenTimeouts() { QVERIFY(VariatorPort->SetTimeouts(100)); }
};
