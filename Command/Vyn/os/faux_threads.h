#ifndef VYN_COMMAND_VYN_OS_FAUX_THREADS_H
#define VYN_COMMAND_VYN_OS_FAUX_THREADS_H

#include <pthread.h>

// Starts routine(arg) on a detached thread and returns its id; throws 493.
pthread_t faos_CreateThread(void* (*routine)(void*), void* arg);
// Gives the processor away for one 50 ms poll.
void faos_SwitchThread();

#endif
