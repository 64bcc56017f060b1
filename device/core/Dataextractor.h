#pragma once

// The device link without a window: the exchange, the connection and the
// transfers. Whatever they show goes to a message sink; whatever they paint
// goes to a progress step or a status sink given by the caller.

#include "device/core/ConnectionLoop.h"
#include "device/core/Exchange.h"
#include "device/core/TransferLoop.h"
#include "device/core/VariatorHolds.h"
#include "device/core/TransferSummary.h"
