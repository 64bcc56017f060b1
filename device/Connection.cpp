#include "Dataextractor.h"

#include "ComPort.h"
#include "Gui2.h"

unsigned char VariatorConnected = 0;
char PortName[16] = {};

void BuildPortName(int number)
{
    (void)number;
}

unsigned char ConnectVariator(int number, unsigned char interactive)
{
    (void)number;
    (void)interactive;
    return 0;
}

unsigned char DisconnectVariator()
{
    return 1;
}

int AutoSelectPort(int first, int end)
{
    (void)first;
    (void)end;
    return 0;
}

void TForm2::N9Click() {}
void TForm2::N4Click() {}
void TForm2::N12Click() {}
void TForm2::FormClose() {}
