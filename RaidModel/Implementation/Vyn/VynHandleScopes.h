#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNHANDLESCOPES_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNHANDLESCOPES_H

class Ret;
class RaidObject;

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

#endif
