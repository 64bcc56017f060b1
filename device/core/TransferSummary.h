#pragma once

// The count of one transfer of maps and settings, and the one summary that
// tells the user how far a transfer got that did not run clean: what went out
// or arrived, per map and for the start timeout, and what the variator holds
// now.

#include "app/core/History.h"
#include "device/core/Exchange.h"

#include <QString>

enum class TransferEnd {
    RanThrough,  // every planned exchange was made
    NoReply,     // ended by an exchange that got not one byte back
    NotSent,     // ended by a request that could not be sent
    Stopped,     // ended by the user after the exchange in flight
};

// The points of one map a transfer meant to move, the requests that went
// out for them, and those that got through (a read: a valid reply; a write:
// a valid reply echoing the code).
struct MapTally {
    int planned = 0;
    int tried = 0;
    int done = 0;
};

struct TransferTally {
    TransferKind command = TransferKind::Read;
    TransferEnd end = TransferEnd::RanThrough;
    MapTally lpg;
    MapTally petrol;
    bool timeoutPlanned = false;
    bool timeoutTried = false;
    bool timeoutDone = false;
    bool firmwarePlanned = false;
    bool firmwareDone = false;
    int failures = 0;  // exchanges that did not get through
    int unchecked = 0; // written map points whose read-back got no value

    // The tally of the map whose first parameter is given.
    MapTally& Of(int firstParameter);
    // One finished exchange of a map point, or of a setting.
    void CountPoint(MapTally& map, ExchangeOutcome outcome, bool ok);
    void CountSetting(bool* tried, bool* done, ExchangeOutcome outcome, bool ok);
    // After each exchange: whether the transfer goes on. It ends on an
    // exchange that found the link gone, else on the user's stop (after the
    // exchange in flight); end says which.
    bool GoesOn(ExchangeOutcome outcome, bool stopAsked);
};

// Whether a transfer had a failure or ended early, so that it owes a summary.
bool NeedsSummary(const TransferTally& tally);
// The summary, in the program's Russian, for example "Запись прервана:
// вариатор не отвечает. Записано точек: 110 из 160 (газ: 80 из 80, бензин: 30
// из 80). В неотправленных точках (49) вариатор хранит прежние значения. ..."
QString TransferSummary(const TransferTally& tally);
