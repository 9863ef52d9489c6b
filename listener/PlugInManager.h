#ifndef VYN_LISTENER_PLUGINMANAGER_H
#define VYN_LISTENER_PLUGINMANAGER_H

#include "listener/VynEvent.h"
#include "listener/osal/Tov.h"

// Entry points every notification plug-in exports unmangled.
typedef int (*PlugInInitFunc)(void);
typedef void (*PlugInNotifyFunc)(_vynEvent);
typedef void (*PlugInTerminateFunc)(void);

// One loaded plug-in; the nodes stand in load order.
struct PlugInNode {
    TovLibraryHandle Handle = nullptr;
    PlugInInitFunc InitFunc = nullptr;
    PlugInNotifyFunc NotifyFunc = nullptr;
    PlugInTerminateFunc TerminateFunc = nullptr;
    PlugInNode* Next = nullptr;
};

extern const char* const AEN_PLUGIN_LIST_FILE;  // "PlugInConfig.txt"

int AenDaemonLoadPlugIn();
int AenLoadPlugIn(char* name);
void AenDaemonNotifyPlugIn(_vynEvent event);
void AenDaemonUnloadPlugIn();

#endif
