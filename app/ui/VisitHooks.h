#pragma once

// The window's hooks into the visit (app/core/Visit.h): the car box, the
// connection's changes, the restore points of the window's transfers and
// live writing's settled states. The rules live in the visit; these only
// hand it what the window knows and tell what it returns.

#include "app/core/History.h"

#include <optional>

struct MapTable;
class QString;
class TForm2;

// A fresh visit state; "Автомобиль" is handed to the visit when its editing
// ends, and unticking "Записывать изменения сразу" settles what waits. The
// window's constructor calls it once, after the live writing's controls exist.
void SetupVisitHooks(TForm2* window);

// The status label turned connected or not connected: a connect starts a
// visit (with the car in the box); a disconnect, the link's loss and the
// close settle what live writing left waiting and end it.
void VisitConnectionChanged(TForm2* window, bool connected);

// A restore point of a window transfer, in the visit, with the car in the box.
void LeaveWindowRestorePoint(TForm2* window, TransferKind kind, int port, const MapTable& lpg,
                             const MapTable& petrol, const QString& startTimeout,
                             std::optional<int> firmware = std::nullopt);

// Before the first frame of a read or a write other than live writing's own:
// what live writing left waiting is left now. A write, live or not, takes the
// visit's before from what the variator holds when there is none.
void VisitBeforeTransfer(TForm2* window, TransferKind kind, bool live = false);

// A live write that left the variator holding these maps: they wait to
// settle.
void VisitLiveWrote(TForm2* window, const MapTable& lpg, const MapTable& petrol, const QString& startTimeout,
                    int port);

// Live writing's waiting state, left when it has been quiet long enough (the
// settle timer calls it; so can a test with its own clock).
void SettleIfQuiet(TForm2* window);
