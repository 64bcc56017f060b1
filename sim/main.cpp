#include "VariatorSim.h"

int main()
{
    return 0;
}
