#include "RaidModel/Implementation/Vyn/VynAdapter.h"
