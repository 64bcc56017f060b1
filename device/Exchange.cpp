#include "Dataextractor.h"

#include "ComPort.h"
#include "Crc.h"

int UARTdataExchange(const QString& kind, unsigned char parameter, short data,
                     unsigned char interactive, bool* replyValid)
{
    (void)kind;
    (void)parameter;
    (void)interactive;
    if (replyValid)
        *replyValid = false;
    return data;
}
