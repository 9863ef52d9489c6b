#include "common/OsServices.h"

#include <sys/select.h>
#include <utility>

int MilliSleep(long ms)
{
    struct timeval timeout;
    timeout.tv_sec = ms / 1000;
    timeout.tv_usec = (ms % 1000) * 1000;
    return select(0, nullptr, nullptr, nullptr, &timeout);
}

unsigned int StorEndianSwapBytes(void* p, unsigned int n)
{
    unsigned char* bytes = static_cast<unsigned char*>(p);
    unsigned int swaps = n / 2;
    for (unsigned int i = 0; bytes != nullptr && i < swaps; ++i)
        std::swap(bytes[i], bytes[n - 1 - i]);
    return swaps;
}
