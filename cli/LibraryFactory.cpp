#include "cli/LibraryFactory.h"

#include "RaidModel/Implementation/Vyn/VynLib.h"

#include <new>

StorLibPlugin* createStorageLibrary()
{
    return new (std::nothrow) VynLib;
}
