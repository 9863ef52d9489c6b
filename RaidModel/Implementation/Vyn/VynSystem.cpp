#include "RaidModel/Implementation/Vyn/VynSystem.h"

#include <cstring>
#include <vector>

#include "RaidLib/StorLib.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynNew.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "common/Ret.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {

// Keeps a copy of every record delivered with success; always goes on.
FSA_STATUS fsaEnumAdapterCallback(FSA_STATUS status, _tagFSA_ADAPTER_ENUM_INFO* info, void* context)
{
    auto* records = static_cast<std::vector<_tagFSA_ADAPTER_ENUM_INFO>*>(context);
    if (status == FSA_STS_SUCCESS && info != nullptr && records != nullptr)
        records->push_back(*info);
    return FSA_STS_SUCCESS;
}

// The open handle of the previous tree's object of the same controller, or
// null; that object is told to leave the handle open when it goes.
void* takeOverHandle(StorLib* previous, const _tagFSA_ADAPTER_ENUM_INFO& record)
{
    const uint32_t serial0 = record.serialNumber[0];
    const uint32_t serial1 = record.serialNumber[1];
    const uint32_t longSerial = record.pcbaSerialNumber;
    const unsigned long count = previous != nullptr ? previous->getNumAdapters() : 0;
    for (unsigned long i = 0; i < count; ++i) {
        Adapter* adapter = previous->getAdapter(i);
        if (adapter == nullptr || adapter->getSerialNum0() == 0 || adapter->getSerialNum0() != serial0)
            continue;
        if (longSerial != 0xFFFFFFFFu &&
            (adapter->getSerialNum1() != serial1 || adapter->getLongSerialNum() != longSerial))
            continue;
        if (!adapter->isInstanceOf("VynAdapter"))
            continue;
        auto* vyn = static_cast<VynAdapter*>(adapter);
        // One that holds no open handle has nothing to hand over, and one
        // that handed it over already no longer owns it: after a second
        // rebuild the newer object passes it on, so that only one closes it.
        if (vyn->getAdapterHandle() == nullptr || vyn->isReusingFsaHandle())
            continue;
        vyn->SetReusingFsaHandle(true);
        return vyn->getAdapterHandle();
    }
    VynTracePrintf("Did not find cached adapter object to reuse for serial number:0x%x 0x%x 0x%x\n", serial0,
                   serial1, longSerial);
    return nullptr;
}

}  // namespace

VynSystem::VynSystem() : System(STORLIB_TYPE_VYN)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynSystem::VynSystem()");
}

VynSystem::~VynSystem()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynSystem::~VynSystem");
}

bool VynSystem::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "VynSystem") == 0)
        return true;
    return System::isInstanceOf(name);
}

const char* VynSystem::typeName() const
{
    return "VynSystem";
}

void VynSystem::descendantAdded(RaidObject* descendant)
{
    System::descendantAdded(descendant);
    if (descendant != nullptr && descendant->isInstanceOf("VynAdapter"))
        vynAdapters.push_back(descendant);
}

VynAdapter* VynSystem::getVynAdapter(unsigned long index) const
{
    if (index >= vynAdapters.size())
        return nullptr;
    return static_cast<VynAdapter*>(vynAdapters[index]);
}

namespace {

// Every controller the firmware interface lists, in its order. A failed walk
// is reported and still yields what it collected.
std::vector<_tagFSA_ADAPTER_ENUM_INFO> enumerateControllers(Ret& ret)
{
    std::vector<_tagFSA_ADAPTER_ENUM_INFO> records;
    const FSA_STATUS status = fsaExports().FsaEnumAdaptersA(nullptr, "", &records, fsaEnumAdapterCallback);
    // A host without controllers is no failure: the walk found none.
    const bool noneFound = status == FSA_STS_ADAPTER_NOT_FOUND && records.empty();
    if (status != FSA_STS_SUCCESS && status != FSA_STS_END_OF_ENUMERATION && !noneFound) {
        vynerror::apiError(ret, "FsaEnumAdapters", status);
    }
    return records;
}

FSA_STATUS fsaCountAdapterCallback(FSA_STATUS status, _tagFSA_ADAPTER_ENUM_INFO*, void* context)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynSystem::fsaCountAdapterCallback()");
    if (status == FSA_STS_SUCCESS && context != nullptr)
        ++*static_cast<unsigned long*>(context);
    return FSA_STS_SUCCESS;
}

}  // namespace

bool VynSystem::buildOneAdapter(StorLib* previous, const _tagFSA_ADAPTER_ENUM_INFO& record, unsigned long index,
                                Ret& ret)
{
    void* handle = takeOverHandle(previous, record);
    VynAdapter* adapter = newOrNull<VynAdapter>(&record, this, index, handle, &ret);
    if (adapter == nullptr) {
        vynerror::resourceError(ret, "new VynAdapter(&(*it), this, iAdapter, &retOUT)");
        return false;
    }
    // Once added, the adapter belongs to the tree, also when its build
    // throws: it keeps what it had built.
    addChild(adapter);
    adapter->buildChildren(ret);
    return true;
}

void VynSystem::buildChildren(StorLib* previous, Ret& ret)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynSystem::buildChildren(Ret & retOUT)");
    try {
        const std::vector<_tagFSA_ADAPTER_ENUM_INFO> records = enumerateControllers(ret);
        unsigned long index = 0;
        for (const _tagFSA_ADAPTER_ENUM_INFO& record : records) {
            try {
                buildOneAdapter(previous, record, index, ret);
            } catch (...) {
            }
            ++index;
        }
    } catch (...) {
        vynerror::exception(ret);
    }
}

void VynSystem::buildChildrenForSingleAdapter(StorLib* previous, unsigned long index, Ret& ret)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE,
                          "VynSystem::buildChildrenForSingleAdapter(StorLib *pStorLibIN, ULONG indexIN, Ret & retOUT)");
    bool built = false;
    try {
        const std::vector<_tagFSA_ADAPTER_ENUM_INFO> records = enumerateControllers(ret);
        if (index < records.size()) {
            try {
                built = buildOneAdapter(previous, records[index], index, ret);
            } catch (...) {
                VynTracePrintf("buildChildrenForSingleAdapter(StorLib *pStorLibIN, ULONG indexIN, Ret & retOUT) - "
                               "exception caught");
            }
        }
    } catch (...) {
    }
    if (!built) {
        vynerror::badParam(ret,
                           "buildChildrenForSingleAdapter(StorLib *pStorLibIN, ULONG indexIN, Ret & retOUT) - invalid "
                           "indexIN specified",
                           static_cast<long>(index));
    }
}

int VynSystem::getControllerCount(StorLib*, Ret& ret)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynSystem::getControllerCount()");
    ret.setReturn(0);
    unsigned long count = 0;
    try {
        const FSA_STATUS status = fsaExports().FsaEnumAdaptersA(nullptr, "", &count, fsaCountAdapterCallback);
        // Only a complete walk counts as success here, unlike the builds.
        if (status != FSA_STS_SUCCESS) {
            vynerror::apiError(ret, "FsaEnumAdapters()", status);
        }
    } catch (...) {
        vynerror::exception(ret);
    }
    return static_cast<int>(count);
}

void VynSystem::disableDebugLogging(Ret& ret)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynSystem::disableDebugLogging(Ret & retOUT)");
    try {
        const FSA_STATUS status = fsaExports().FsaDisableDebugLogs();
        if (status != FSA_STS_SUCCESS) {
            vynerror::apiError(ret, "FsaDisableDebugLogs", status);
        }
    } catch (...) {
        vynerror::exception(ret);
    }
}
