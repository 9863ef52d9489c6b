#ifndef VYN_RAIDLIB_STORLIB_H
#define VYN_RAIDLIB_STORLIB_H

#include "RaidModel/Interface/RefSystem.h"
#include "common/Ret.h"
#include "common/StorLibType.h"

class Adapter;
class System;
enum EnumForceOption : int;

// The storage library object: owns the current system tree, builds it through
// the controller family's factory and hands it out as XML.
class StorLib {
public:
    explicit StorLib(EnumStorLibType type);
    virtual ~StorLib();
    StorLib(const StorLib&) = delete;
    StorLib& operator=(const StorLib&) = delete;

    // Creates an empty root of the library's controller family.
    virtual System* newSystem() = 0;
    virtual Ret getSystemConfig();
    virtual Ret getSystemConfigForSingleAdapter(unsigned long adapterIndex);
    virtual Ret disableDebugLogs();

    // Process-wide start and end; StorLibInit calls them once.
    static void Init();
    static void Finish();

    EnumStorLibType getStorLibType() const { return storLibType; }
    System* getSystem() const { return curSystem.GetSystem(); }
    Adapter* getAdapter(unsigned long index) const;
    unsigned long getNumAdapters() const;
    Ret getControllerCount(unsigned long& count);

    // The tree as XML in a new array that the caller frees with freeBuffer;
    // an array already held in *pXmlOUT is released.
    Ret getSystemConfig(char** pXmlOUT);
    Ret getUserConfig(char** pXmlOUT);
    Ret getCachedSystemConfig(char** pXmlOUT);
    Ret freeBuffer(void* buffer);

    // Replays a saved configuration onto the live controllers, recording
    // each step in the replay log `logFile`.
    Ret playConfig(char** pXmlIN, long buffersize, EnumForceOption force, char* logFile, bool slotIDFlag);
    // The replay log's stamp: 24 characters of the date, two blanks, NUL.
    static char* getTime(char* timeEntry);

protected:
    enum class Discovery { AllAdapters, SingleAdapter };

    // The build step: a root from newSystem runs its discovery into `ret` and
    // becomes the current tree, whatever the discovery reported. False, with
    // -3 in `ret`, when no root could be created; `file` names the caller's
    // source in that error record.
    bool buildSystem(Ret& ret, Discovery discovery, unsigned long adapterIndex, System* proxy,
                     StorLib* discoveryLib, const char* file);
    void exceptionCaught(Ret& ret, const char* file, int line) const;
    // Called for a root from newSystem that is freed before any handle took
    // it (its discovery or parse threw), so a family that remembers the root
    // it made last can let go of it first.
    virtual void forgetSystem(System* root);
    // Frees such a root and its tree.
    void discardSystem(System* root);

    EnumStorLibType storLibType;
    RefSystem curSystem;
    RefSystem parsedSystem;

private:
    enum class TreeForm { Full, UserConfig };

    Ret exportTree(char** pXmlOUT, TreeForm form, bool keepCachedTree);

    // The root made only to switch the debug logs off; kept until the next
    // such call or the end of the library object, since the controller
    // family remembers it.
    RefSystem debugOffSystem;
};

// Starts the library once per process, before the first library object.
class StorLibInit {
public:
    StorLibInit();
    ~StorLibInit();
    StorLibInit(const StorLibInit&) = delete;
    StorLibInit& operator=(const StorLibInit&) = delete;

    static bool isInstance;

private:
    bool owner;
};

#endif
