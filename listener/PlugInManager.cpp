#include "listener/PlugInManager.h"

#include "listener/AenConfig.h"
#include "listener/AenDaemon.h"
#include "listener/osal/FnLogger.h"

#include <errno.h>

#include <new>

#include <cstdio>
#include <cstring>
#include <string>

const char* const AEN_PLUGIN_LIST_FILE = "PlugInConfig.txt";

namespace {

// Install directory, plug-in name and the loader's ".so" share this many
// characters.
constexpr std::size_t kPlugInPathMax = 511;
constexpr std::size_t kLoaderSuffixLength = 3;

void appendNode(PlugInNode* node)
{
    PlugInNode** link = &gAenConfig.PlugInList;
    while (*link != nullptr)
        link = &(*link)->Next;
    *link = node;
}

void unlinkNode(PlugInNode* node)
{
    for (PlugInNode** link = &gAenConfig.PlugInList; *link != nullptr; link = &(*link)->Next) {
        if (*link == node) {
            *link = node->Next;
            return;
        }
    }
}

// A plug-in is foreign code: nothing it throws may reach the daemon's threads.
int callInit(PlugInInitFunc init)
{
    try {
        return init();
    } catch (...) {
        return 1;
    }
}

void callNotify(PlugInNotifyFunc notify, const _vynEvent& event)
{
    try {
        notify(event);
    } catch (...) {
    }
}

void callTerminate(PlugInTerminateFunc terminate)
{
    try {
        terminate();
    } catch (...) {
    }
}

}  // namespace

int AenLoadPlugIn(char* name)
{
    FnLogger logger("AenLoadPlugIn", AEN_LOG_FILE);
    char dir[AEN_PATH_SIZE];
    if (vynInstallPath(dir, sizeof dir) != 0) {
        logger.log("Plugin Path Name string size exceeded!");
        return 1;
    }
    const std::string path = std::string(dir) + (name != nullptr ? name : "");
    if (path.size() + kLoaderSuffixLength > kPlugInPathMax) {
        logger.log("Plugin Path exceeds expected length");
        return 1;
    }
    uint32_t error = 0;
    TovLibraryHandle handle = TovLoadLibrary(path.c_str(), &error);
    if (handle == nullptr || error != 0) {
        logger.log("Plugin %s Load Fails with errno=%d", name, errno);
        return 1;
    }
    logger.log("%s Loading successful", name);

    PlugInNode* node = new (std::nothrow) PlugInNode;
    if (node == nullptr) {
        TovUnloadLibrary(&handle);
        return 1;
    }
    node->Handle = handle;
    appendNode(node);

    uint32_t initMissing = 1;
    uint32_t notifyMissing = 1;
    uint32_t terminateMissing = 1;
    node->InitFunc = reinterpret_cast<PlugInInitFunc>(TovGetFuncAddress(handle, "PlugInInit", &initMissing));
    node->NotifyFunc = reinterpret_cast<PlugInNotifyFunc>(TovGetFuncAddress(handle, "PlugInNotify", &notifyMissing));
    node->TerminateFunc =
        reinterpret_cast<PlugInTerminateFunc>(TovGetFuncAddress(handle, "PlugInTerminate", &terminateMissing));

    if (initMissing == 0 && notifyMissing == 0 && terminateMissing == 0) {
        if (callInit(node->InitFunc) != 1)
            return 0;
        logger.log("PlugIn Inititialization Failed");
    } else {
        logger.log("Atleast one of the loadable function for plugin %s fails", name);
    }
    TovUnloadLibrary(&node->Handle);
    unlinkNode(node);
    delete node;
    return 1;
}

int AenDaemonLoadPlugIn()
{
    FnLogger logger("AenDaemonLoadPlugIn", AEN_LOG_FILE);
    char dir[AEN_PATH_SIZE];
    if (vynInstallPath(dir, sizeof dir) != 0) {
        logger.log("Logger Plugin Path Name string size exceeding");
        return 1;
    }
    const std::string path = std::string(dir) + AEN_PLUGIN_LIST_FILE;
    if (path.size() >= AEN_PATH_SIZE) {
        logger.log("Logger Plugin Path Name string size exceeding");
        return 1;
    }
    logger.log("Reading configuration file %s", path.c_str());
    FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) {
        logger.log("Failed to read config file %s", path.c_str());
        return 1;
    }

    std::string pending;
    bool havePending = false;
    char line[AEN_LINE_SIZE];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        char* attribute = nullptr;
        char* value = nullptr;
        if (!splitAenSetting(line, attribute, value))
            continue;
        logger.log("Attribute=%s Value=%s", attribute, value);

        if (std::strcmp(attribute, "PLUGIN") == 0) {
            pending = value;
            havePending = true;
        } else if (std::strcmp(attribute, "STATE") == 0 && havePending) {
            if (std::strcmp(value, "ON") == 0) {
                if (AenLoadPlugIn(&pending[0]) != 0)
                    logger.log("ERROR : %s failed to initialize.", pending.c_str());
            } else if (std::strcmp(value, "OFF") == 0) {
                logger.log("%s will not be loaded", pending.c_str());
                havePending = false;
            } else {
                logger.log("Wrong value for STATE attribute in file %s", path.c_str());
                havePending = false;
            }
        }
    }
    logger.log("There could be EOF or error in reading file");
    std::fclose(file);
    if (gAenConfig.PlugInList == nullptr) {
        logger.log("No Plugin found, exiting the daemon..");
        return 1;
    }
    return 0;
}

void AenDaemonNotifyPlugIn(_vynEvent event)
{
    FnLogger logger("AenDaemonNotifyPlugIn", AEN_LOG_FILE);
    logger.log("AenDaemonNotifyPlugIn Enter");
    for (PlugInNode* node = gAenConfig.PlugInList; node != nullptr; node = node->Next) {
        logger.log("Calling NotifyFunc");
        callNotify(node->NotifyFunc, event);
    }
}

void AenDaemonUnloadPlugIn()
{
    PlugInNode* node = gAenConfig.PlugInList;
    gAenConfig.PlugInList = nullptr;
    while (node != nullptr) {
        PlugInNode* next = node->Next;
        if (node->TerminateFunc != nullptr)
            callTerminate(node->TerminateFunc);
        TovUnloadLibrary(&node->Handle);
        delete node;
        node = next;
    }
}
