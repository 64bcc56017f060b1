#pragma once

// A transfer as the window runs it: one at a time, stoppable by Escape or the
// "Прервать" button after the exchange in flight, the box of its first failure
// shown and later ones only counted, ended by the first exchange that finds the
// link gone, and closed by one summary when it did not run clean.
//
// A transfer owns the maps from its first frame to its summary. Between
// exchanges the window's events are processed, so that it repaints, takes
// the stop and its close button; meanwhile the window's commands stand
// disabled, the pointer shows it busy, and every other input to the window is
// dropped whole, so no command, edit, drag or page change starts in between.
// A marker held when a transfer starts is put back first.

#include "device/core/Dataextractor.h"

#include <QString>

class TForm2;
class QKeyEvent;

// The "Прервать" button beside the progress bar and the input filter of
// transfers. The window's constructor calls it once.
void SetupTransferControls(TForm2* window);

// Whether a transfer runs.
bool TransferRunning();
// Whether a transfer command may start now: none runs and no marker is held.
// The commands are refused quietly otherwise.
bool TransferMayStart();
// Asks the running transfer to end after the exchange in flight.
void StopTransfer();
// Called by the window's close: while a transfer runs it is stopped, and the
// window is closed again once it has ended. True when the close must wait.
bool DeferCloseForTransfer();

class WindowTransfer {
public:
    WindowTransfer(TForm2* window, TransferKind command);
    ~WindowTransfer();
    WindowTransfer(const WindowTransfer&) = delete;
    WindowTransfer& operator=(const WindowTransfer&) = delete;

    TransferTally tally;

    // Collects the messages of the exchange in flight.
    MessageSink Sink();
    // Moves the progress bar to a point, paints it and takes the window's events.
    ProgressStep Step();
    // Takes the window's events while a setting's request is on the line.
    WireStep Events();
    // After each exchange: shows the messages of the first failure, counts it
    // and tells whether the transfer goes on.
    bool AfterPoint(MapTally& map, ExchangeOutcome outcome, bool ok);
    bool AfterSetting(bool* tried, bool* done, ExchangeOutcome outcome, bool ok);
    bool Going() const { return going; }
    // Ends the link after a link loss (port closed, status "Не подключен")
    // and shows the summary when one is owed; true when it was owed.
    bool Finish();

private:
    bool After(ExchangeOutcome outcome);
    TForm2* window;
    bool going = true;
    bool failureShown = false;
    bool finished = false;
    QStringList pending;
};

// The running transfer, or null.
WindowTransfer* CurrentTransfer();
