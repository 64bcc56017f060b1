#pragma once

// The lower level of the test base, for suites of the core layer (no
// widgets): every global of the core back at its start value.

#include "device/core/Dataextractor.h"
#include "app/core/MapStore.h"
#include "app/core/Visit.h"

#include <QLocale>

// Number text in the C locale, the map tables as at start, no variator
// connected, no port path, no message sink.
inline void ResetCoreGlobals()
{
    QLocale::setDefault(QLocale::c());
    InitMapStore();
    VariatorConnected = 0;
    VariatorPortNumber = 0;
    PortName[0] = '\0';
    SetMessageSink(nullptr);
    ForgetHeldValues();
    CurrentVisit = Visit();
}

// How many of the 160 map points the record of what the variator holds knows.
inline int KnownPoints()
{
    int n = 0;
    for (bool known : VariatorHolds.known)
        n += known ? 1 : 0;
    return n;
}
