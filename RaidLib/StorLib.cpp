#include "RaidLib/StorLib.h"

#include <cstring>

#include "RaidModel/Interface/System.h"
#include "common/OsThreadLocker.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/XMLWriter.h"

namespace {

// A family whose root cannot be made, by exception or not, gives null.
System* newSystemOrNull(StorLib& lib)
{
    try {
        return lib.newSystem();
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

bool StorLibInit::isInstance = false;

StorLibInit::StorLibInit() : owner(false)
{
    if (!isInstance) {
        isInstance = true;
        owner = true;
        StorLib::Init();
    }
}

StorLibInit::~StorLibInit()
{
    if (owner) {
        StorLib::Finish();
    }
}

void StorLib::Init()
{
    pStorLibGlobalThreadLocker = new osThreadLocker;
    doStorDebugInitialization(STORLIB_TYPE_VYN);
}

void StorLib::Finish()
{
    doStorDebugCleanup(STORLIB_TYPE_VYN);
    StorDebugDeleteAll();
    if (pStorLibGlobalThreadLocker != nullptr) {
        delete pStorLibGlobalThreadLocker;
        pStorLibGlobalThreadLocker = nullptr;
    }
}

StorLib::StorLib(EnumStorLibType type) : storLibType(type)
{
    try {
        doStorDebugInitialization(type);
    } catch (...) {
        StorErrorPrintf(storLibType, __FILE__, __LINE__, "*** Exception Caught: StorLib::StorLib() ***");
    }
}

StorLib::~StorLib()
{
    try {
        doStorDebugCleanup(storLibType);
    } catch (...) {
        StorErrorPrintf(storLibType, __FILE__, __LINE__, "*** Exception Caught: StorLib::~StorLib() ***");
    }
    parsedSystem.Release();
    curSystem.Release();
}

Adapter* StorLib::getAdapter(unsigned long index) const
{
    System* system = curSystem.GetSystem();
    return system != nullptr ? system->getAdapter(index) : nullptr;
}

unsigned long StorLib::getNumAdapters() const
{
    System* system = curSystem.GetSystem();
    return system != nullptr ? system->getNumAdapters() : 0;
}

void StorLib::forgetSystem(System*)
{
}

void StorLib::discardSystem(System* root)
{
    if (root == nullptr) {
        return;
    }
    forgetSystem(root);
    root->deleteAllChildren();
    delete root;
}

void StorLib::exceptionCaught(Ret& ret, const char* file, int line) const
{
    ret.setException();
    StorErrorPrintf(storLibType, file, line, "*** Exception Caught ***");
}

bool StorLib::buildSystem(Ret& ret, Discovery discovery, unsigned long adapterIndex, System* proxy,
                          StorLib* discoveryLib, const char* file)
{
    System* system = newSystemOrNull(*this);
    if (system == nullptr) {
        ret.setResource();
        StorErrorPrintf(storLibType, file, __LINE__, "*** Resource Error: %s ***",
                        "pNewSystem = newSystem()");
        return false;
    }
    if (proxy != nullptr) {
        system->setProxy(proxy);
    }
    try {
        if (discovery == Discovery::SingleAdapter) {
            system->buildChildrenForSingleAdapter(discoveryLib, adapterIndex, ret);
        } else {
            system->buildChildren(discoveryLib, ret);
        }
    } catch (...) {
        // Nobody holds the new root yet: free it before reporting.
        discardSystem(system);
        throw;
    }
    curSystem = system;
    return true;
}

Ret StorLib::getSystemConfig()
{
    StorDebugTracer trace(storLibType, STOR_DEBUG_TRACE, "StorLib::getSystemConfig()");
    Ret ret(0);
    try {
        buildSystem(ret, Discovery::AllAdapters, 0, nullptr, this, __FILE__);
    } catch (...) {
        exceptionCaught(ret, __FILE__, __LINE__);
    }
    return ret;
}

Ret StorLib::getSystemConfigForSingleAdapter(unsigned long adapterIndex)
{
    StorDebugTracer trace(storLibType, STOR_DEBUG_TRACE, "StorLib::getSystemConfigForSingleAdapter()");
    Ret ret(0);
    try {
        buildSystem(ret, Discovery::SingleAdapter, adapterIndex, nullptr, this, __FILE__);
    } catch (...) {
        exceptionCaught(ret, __FILE__, __LINE__);
    }
    return ret;
}

Ret StorLib::getSystemConfig(char** pXmlOUT)
{
    StorDebugTracer trace(storLibType, STOR_DEBUG_TRACE, "StorLib::getSystemConfig(char** pXmlOUT)");
    return exportTree(pXmlOUT, TreeForm::Full, false);
}

Ret StorLib::getUserConfig(char** pXmlOUT)
{
    StorDebugTracer trace(storLibType, STOR_DEBUG_TRACE, "StorLib::getUserConfig(char** pXmlOUT)");
    return exportTree(pXmlOUT, TreeForm::UserConfig, false);
}

Ret StorLib::getCachedSystemConfig(char** pXmlOUT)
{
    StorDebugTracer trace(storLibType, STOR_DEBUG_TRACE, "StorLib::getCachedSystemConfig(char** pXmlOUT)");
    return exportTree(pXmlOUT, TreeForm::Full, true);
}

Ret StorLib::exportTree(char** pXmlOUT, TreeForm form, bool keepCachedTree)
{
    Ret ret(0);
    if (pXmlOUT == nullptr) {
        ret.setBadParam(0);
        StorErrorPrintf(storLibType, __FILE__, __LINE__, "*** Bad Parameter: %s, paramValue=%d ***",
                        "pXmlOUT==NULL", 0);
        return ret;
    }
    try {
        System* cached = curSystem.GetSystem();
        const bool reuse = keepCachedTree && cached != nullptr && cached->getChildCount() > 0;
        if (!reuse && !buildSystem(ret, Discovery::AllAdapters, 0, nullptr, this, __FILE__)) {
            return ret;
        }
        char* text = nullptr;
        XMLWriter writer(&text);
        if (form == TreeForm::UserConfig) {
            writer.writeUserConfigTree(curSystem.GetSystem());
        } else {
            writer.writeTree(curSystem.GetSystem());
        }
        // A writer without text (its buffer could not be allocated) has no
        // terminator to hand out; the caller keeps what it had.
        const unsigned long size = writer.getBuffSize();
        char* copy = size > 0 && text != nullptr ? new char[size] : nullptr;
        if (copy == nullptr) {
            ret.setResource();
            StorErrorPrintf(storLibType, __FILE__, __LINE__, "*** Resource Error: %s ***",
                            "pXmlOUT = new char[]");
            return ret;
        }
        std::memcpy(copy, text, size);
        delete[] *pXmlOUT;
        *pXmlOUT = copy;
        if (!keepCachedTree) {
            StorConfigPrintf(storLibType, *pXmlOUT);
        }
    } catch (...) {
        exceptionCaught(ret, __FILE__, __LINE__);
    }
    return ret;
}

Ret StorLib::freeBuffer(void* buffer)
{
    delete[] static_cast<char*>(buffer);
    return Ret(0);
}

Ret StorLib::getControllerCount(unsigned long& count)
{
    Ret ret(0);
    System* system = curSystem.GetSystem();
    if (system == nullptr) {
        ret.setBadParam(0);
        StorErrorPrintf(storLibType, __FILE__, __LINE__, "*** Bad Parameter: %s, paramValue=%d ***",
                        "curSystem==NULL", 0);
        return ret;
    }
    try {
        count = static_cast<unsigned long>(system->getControllerCount(this, ret));
    } catch (...) {
        exceptionCaught(ret, __FILE__, __LINE__);
    }
    return ret;
}

Ret StorLib::disableDebugLogs()
{
    Ret ret(0);
    disableDebugLog = true;
    System* system = newSystemOrNull(*this);
    if (system == nullptr) {
        return ret;
    }
    debugOffSystem = system;
    try {
        system->disableDebugLogging(ret);
    } catch (...) {
        exceptionCaught(ret, __FILE__, __LINE__);
    }
    return ret;
}
