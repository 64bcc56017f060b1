#include "VariatorSim.h"
