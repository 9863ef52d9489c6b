#ifndef VYN_CIMPROV_CLIPROVIDER_H
#define VYN_CIMPROV_CLIPROVIDER_H

#include "cimprov/ProviderInstance.h"
#include "listener/osal/Tov.h"

class FnLogger;
class StorLibPlugin;

// "VYN_CLIExecutor": runs one vynconf command line per "executeCommand"
// request and returns what it printed. Requests run one at a time under
// m_MethodMutex, because the command engine's state is process-wide.
class CLIProvider : public ServedInstanceProvider {
public:
    CLIProvider(const CmpiBroker& broker, const CmpiContext& ctx);
    ~CLIProvider() override;

    CmpiStatus initialize(const CmpiContext& ctx) override;
    CmpiStatus cleanup(CmpiContext& ctx, bool terminating) override;

    CmpiStatus invokeMethod(const CmpiContext& ctx, CmpiResult& rslt, const CmpiObjectPath& cop,
                            const char* method, const CmpiArgs& in, CmpiArgs& out) override;

    // Appends the final message for command result `rc` to the captured
    // output and returns the method's value.
    int processReturnCode(int rc);

    // Where each request's storage-library object comes from; null restores
    // the controller family's library. A seam for tests, which hand in a
    // recording library; set it while no request runs.
    using LibraryMaker = StorLibPlugin* (*)();
    static void setLibraryMaker(LibraryMaker maker) noexcept;

    // A factory's trace line, into the captured output that the next request
    // clears; taken under the method mutex once it exists, since requests
    // may run on other threads.
    static void factoryTrace(const char* text) noexcept;

private:
    // Steps run under the method mutex: the engine reset, the command and the
    // output arguments. Returns the method's value.
    int runCommand(FnLogger& log, char** words, int count, bool warningFlag);

    static TovMutexHandle m_MethodMutex;
};

#endif
