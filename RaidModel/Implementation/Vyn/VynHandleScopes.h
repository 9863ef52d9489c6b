#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNHANDLESCOPES_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNHANDLESCOPES_H

#include <cstdint>
#include <vector>

#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"

class Adapter;
class FsaExports;
class ChunkSpec;
class RaidObject;
struct FSA_CONTAINER_INFO_EXTND;
struct FSA_STORAGE_DEVICE;
struct FSA_STORAGE_DEVICE_SPACE;
struct tag_FSA_CONTAINER;
class VynBasicLogicalDrive;

FsaExports& fsaExports();

// A read-write firmware handle on the controller of an object, open for the
// life of the scope. The handle is null when the object has no controller of
// this family or the open failed (then an API error is in the Ret, when one
// is given); the caller reports busy.
class FsaWriteHandleGrabber {
public:
    FsaWriteHandleGrabber(const RaidObject* object, Ret* ret);
    ~FsaWriteHandleGrabber();
    FsaWriteHandleGrabber(const FsaWriteHandleGrabber&) = delete;
    FsaWriteHandleGrabber& operator=(const FsaWriteHandleGrabber&) = delete;

    operator void*() const { return handle; }
    void* getAdapterRWHandle() const { return handle; }

private:
    void* handle = nullptr;
    int openWord = 0;
};

// The frame of an operation that is one firmware call on the write handle of
// an object's controller: no handle is busy, `call(fsa, handle)` answers the
// firmware's status and anything but success is an API error named
// `failure`; nothing leaves as an exception. The records name the caller's
// place.
template <class Call>
Ret writeHandleCall(const RaidObject* object, const char* failure, Call call, const char* file = __builtin_FILE(),
                    int line = __builtin_LINE())
{
    Ret ret(0);
    try {
        FsaWriteHandleGrabber handle(object, &ret);
        if (handle.getAdapterRWHandle() == nullptr)
            return vynerror::busy(ret, file, line);
        const FSA_STATUS status = call(fsaExports(), handle.getAdapterRWHandle());
        if (status != FSA_STS_SUCCESS)
            vynerror::apiError(ret, failure, status, file, line);
    } catch (...) {
        vynerror::exception(ret, file, line);
    }
    return ret;
}

// The drives named by a list of chunks, as the firmware records that a
// container request carries, for the life of the scope. A construction that
// cannot name them reports every bad chunk and throws ReturnCode.
class FsaStorageDeviceArrayGrabber {
public:
    static constexpr unsigned long MAX_CHUNKS = 256;

    // Zeroed records; ReturnCode -3 when they cannot be had.
    explicit FsaStorageDeviceArrayGrabber(unsigned long count);
    // One record per chunk, from the attachment of the hard drive at the
    // chunk's channel and device. ReturnCode -2 (with the Ret set and one
    // error line per bad chunk) or -3.
    FsaStorageDeviceArrayGrabber(Adapter* adapter, const std::vector<ChunkSpec>& chunks, Ret& ret);
    ~FsaStorageDeviceArrayGrabber();
    FsaStorageDeviceArrayGrabber(const FsaStorageDeviceArrayGrabber&) = delete;
    FsaStorageDeviceArrayGrabber& operator=(const FsaStorageDeviceArrayGrabber&) = delete;

    operator FSA_STORAGE_DEVICE*() const { return devices; }
    unsigned long getNumItems() const { return count; }

private:
    unsigned long count = 0;
    FSA_STORAGE_DEVICE* devices = nullptr;
};

// The container keys of a list of logical drives, in list order, for the
// life of the scope; no array for an empty list. ReturnCode -3 when the
// memory cannot be had.
class FsaContainerArrayGrabber {
public:
    explicit FsaContainerArrayGrabber(const std::vector<VynBasicLogicalDrive*>& drives);
    ~FsaContainerArrayGrabber();
    FsaContainerArrayGrabber(const FsaContainerArrayGrabber&) = delete;
    FsaContainerArrayGrabber& operator=(const FsaContainerArrayGrabber&) = delete;

    operator tag_FSA_CONTAINER*() const { return containers; }
    unsigned long getNumItems() const { return count; }

private:
    unsigned long count = 0;
    tag_FSA_CONTAINER* containers = nullptr;
};

// Zeroed device extents of a creation request, for the life of the scope.
// When the memory cannot be had the array is null (and the error logged);
// the caller tests it.
class FsaStorageDeviceSpaceGrabber {
public:
    explicit FsaStorageDeviceSpaceGrabber(unsigned long count);
    ~FsaStorageDeviceSpaceGrabber();
    FsaStorageDeviceSpaceGrabber(const FsaStorageDeviceSpaceGrabber&) = delete;
    FsaStorageDeviceSpaceGrabber& operator=(const FsaStorageDeviceSpaceGrabber&) = delete;

    operator FSA_STORAGE_DEVICE_SPACE*() const { return spaces; }
    unsigned long getNumItems() const { return count; }

private:
    unsigned long count = 0;
    FSA_STORAGE_DEVICE_SPACE* spaces = nullptr;
};

// One zeroed buffer of the largest container record, for the life of the
// scope. ReturnCode -3 when the memory cannot be had.
class FsaContainerInfoGrabber {
public:
    FsaContainerInfoGrabber();
    ~FsaContainerInfoGrabber();
    FsaContainerInfoGrabber(const FsaContainerInfoGrabber&) = delete;
    FsaContainerInfoGrabber& operator=(const FsaContainerInfoGrabber&) = delete;

    FSA_CONTAINER_INFO_EXTND* operator->() const { return info; }
    operator FSA_CONTAINER_INFO_EXTND*() const { return info; }
    // Zeroes all but the container key (the first 12 bytes), which names the
    // container a walk goes on from.
    void clear();

private:
    FSA_CONTAINER_INFO_EXTND* info = nullptr;
};

// A morph request's relationship: two words and the container key, zeroed.
struct FsaMorphRelationship {
    FsaMorphRelationship();

    uint32_t word0;
    uint32_t word1;
    uint8_t container[12];
};
static_assert(sizeof(FsaMorphRelationship) == 20, "a morph relationship is 20 bytes");

#endif
