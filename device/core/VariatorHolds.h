#pragma once

// What the connected variator is known to hold: the code at each of the 160
// map points (by parameter, petrol 0..79, LPG 80..159) and the start timeout.
// A value becomes known by a valid read reply or by a write whose valid reply
// echoes it; it becomes unknown again after a failed exchange of its
// parameter, and all of them at connect, disconnect, port search and after a
// link loss. Every ExchangeFrame tells it, whatever the port it is given
// (the command line tool's and the tests' too); the window's transfers are
// what read it.

#include "app/core/MapStore.h"
#include "device/core/Exchange.h"

constexpr int HeldParameters = 2 * MapPoints;

struct HeldValues {
    bool known[HeldParameters] = {};
    short code[HeldParameters] = {};
    bool timeoutKnown = false;
    short timeout = 0;
};

extern HeldValues VariatorHolds;

// Nothing known.
void ForgetHeldValues();
// What one finished exchange of `parameter` tells: `sent` is the request's
// data, `value` what the exchange returned. Parameters other than the map
// points and the start timeout are not kept.
void NoteExchange(ExchangeKind kind, unsigned char parameter, short sent, int value, ExchangeOutcome outcome);
// The code held at point i of the map whose first parameter is given; false
// when unknown.
bool HeldPoint(int firstParameter, int i, short* code);
