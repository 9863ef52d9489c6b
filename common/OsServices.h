#ifndef VYN_COMMON_OSSERVICES_H
#define VYN_COMMON_OSSERVICES_H

// Waits ms milliseconds; returns select's result (-1 when a signal cut the
// wait short).
int MilliSleep(long ms);

// Reverses the n bytes at p in place; returns the number of swaps (n / 2).
unsigned int StorEndianSwapBytes(void* p, unsigned int n);

#endif
