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
