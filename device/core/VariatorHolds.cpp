#include "device/core/VariatorHolds.h"

#include "device/wire/Frame.h"

HeldValues VariatorHolds;

void ForgetHeldValues()
{
    VariatorHolds = HeldValues();
}

void NoteExchange(ExchangeKind kind, unsigned char parameter, short sent, int value, ExchangeOutcome outcome)
{
    // A write counts only when the variator echoes the very code sent; a
    // wrong echo leaves it unknown what it stored.
    const bool learned = outcome == ExchangeOutcome::Valid && (kind == ExchangeKind::Read || value == sent);
    const short code = static_cast<short>(value);
    if (parameter < HeldParameters) {
        VariatorHolds.known[parameter] = learned;
        VariatorHolds.code[parameter] = learned ? code : 0;
    } else if (parameter == StartTimeoutParameter) {
        VariatorHolds.timeoutKnown = learned;
        VariatorHolds.timeout = learned ? code : 0;
    }
}

bool HeldPoint(int firstParameter, int i, short* code)
{
    const int parameter = firstParameter + i;
    if (parameter < 0 || parameter >= HeldParameters || !VariatorHolds.known[parameter])
        return false;
    *code = VariatorHolds.code[parameter];
    return true;
}
