#include "cimprov/CLIProvider.h"

#include "RaidLib/StorLibPlugin.h"
#include "cimprov/LibraryKeeper.h"
#include "cimprov/ProviderInstance.h"
#include "cli/CommandLog.h"
#include "cli/Engine.h"
#include "cli/FunctionResolver.h"
#include "cli/LibraryFactory.h"
#include "cli/PasswordMask.h"
#include "cli/ResultTable.h"
#include "common/Ret.h"
#include "listener/osal/FnLogger.h"

#include <strings.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

TovMutexHandle CLIProvider::m_MethodMutex = nullptr;

namespace {

const ProviderInstance kServed = {"VYN_CLIExecutor", "VYN_CLI_Engine"};
const char* const kMethodName = "executeCommand";
const char* const kProgramName = "vynconf";
constexpr CMPICount kMaxCommandWords = 1024;
// Lone keywords that run instead of showing their help.
const char* const kSingleWordCommands[] = {"GETVERSION", "GETXML", "SAVESUPPORTARCHIVE",
                                           "SAVECONFIG"};

// Private to this provider; used only under the method mutex. Never
// destroyed: at process exit or unload the objects' own statics may already be
// gone, so only the provider's cleanup releases them.
LibraryKeeper& storLib() {
    alignas(LibraryKeeper) static unsigned char storage[sizeof(LibraryKeeper)];
    static LibraryKeeper* keeper = ::new (static_cast<void*>(storage)) LibraryKeeper;
    return *keeper;
}

// The argument vector of one request: the program name and the command
// words, each a heap copy; every word is freed with it, a "noprompt" taken
// off the end included.
class ArgumentVector {
public:
    ~ArgumentVector() {
        if (words_ == nullptr) return;
        for (int i = 0; i < size_; ++i) std::free(words_[i]);
        std::free(words_);
    }
    bool allocate(int size) {
        words_ = static_cast<char**>(std::calloc(static_cast<std::size_t>(size) + 1, sizeof(char*)));
        if (words_ != nullptr) size_ = size;
        return words_ != nullptr;
    }
    bool set(int i, const char* word) {
        words_[i] = strdup(word);
        return words_[i] != nullptr;
    }
    char** words() const { return words_; }
    int size() const { return size_; }

private:
    char** words_ = nullptr;
    int size_ = 0;
};

// Releases what a request holds under the method mutex on every way out,
// an exception included.
class RequestScope {
public:
    explicit RequestScope(TovMutexHandle mutex) : mutex_(mutex) {}
    ~RequestScope() {
        delete fnResolver;
        fnResolver = nullptr;
        // The vector is freed after the unlock; no engine global points at it.
        argv2 = nullptr;
        argc2 = 0;
        TovMutexUnlock(mutex_);
    }
    RequestScope(const RequestScope&) = delete;
    RequestScope& operator=(const RequestScope&) = delete;

private:
    TovMutexHandle mutex_;
};

bool isSingleWordCommand(const char* word) {
    for (const char* keyword : kSingleWordCommands) {
        if (strcasecmp(word, keyword) == 0) return true;
    }
    return false;
}

// Constant-initialised and trivially destroyed, so unloading the library
// runs no code for it.
std::atomic<CLIProvider::LibraryMaker> libraryMaker{nullptr};

// A library whose construction throws is one that cannot be made.
StorLibPlugin* makeLibrary() {
    const CLIProvider::LibraryMaker maker = libraryMaker.load();
    try {
        return maker != nullptr ? maker() : createStorageLibrary();
    } catch (...) {
        return nullptr;
    }
}

// The request's library with its system tree; null when it cannot be made.
StorLibPlugin* loadLibrary(char** words) {
    const bool singleAdapter = strcasecmp(words[1], "GETCONFIG") == 0;
    const int adapter = singleAdapter ? fnResolver->parseAdapterNumber() : -1;
    StorLibPlugin* lib = makeLibrary();
    if (lib == nullptr) return nullptr;
    if (singleAdapter) {
        lib->getSystemConfigForSingleAdapter(static_cast<unsigned long>(static_cast<long>(adapter)));
    } else {
        lib->getSystemConfig();
    }
    return lib;
}

}  // namespace

CLIProvider::CLIProvider(const CmpiBroker& broker, const CmpiContext& ctx)
    : CmpiBaseMI(broker, ctx), ServedInstanceProvider(broker, ctx, kServed, "CLIProvider") {
    FnLogger log("CLIProvider::CLIProvider");
}

CLIProvider::~CLIProvider() { FnLogger log("CLIProvider::~CLIProvider"); }

CmpiStatus CLIProvider::initialize(const CmpiContext&) {
    FnLogger log("CLIProvider::initialize");
    log.log("Process Id = %d, parent id = %d", static_cast<int>(getpid()),
            static_cast<int>(getppid()));
    if (m_MethodMutex == nullptr) m_MethodMutex = TovMutexInit();
    return CmpiStatus(CMPI_RC_OK);
}

CmpiStatus CLIProvider::cleanup(CmpiContext&, bool) {
    FnLogger log("CLIProvider::cleanup");
    if (m_MethodMutex != nullptr) {
        // No request runs any more; their library objects go with the provider.
        storLib().releaseAll();
        TovMutexDelete(&m_MethodMutex);
        m_MethodMutex = nullptr;
    }
    return CmpiStatus(CMPI_RC_OK);
}

void CLIProvider::setLibraryMaker(LibraryMaker maker) noexcept { libraryMaker.store(maker); }

void CLIProvider::factoryTrace(const char* text) noexcept {
    const bool locked = m_MethodMutex != nullptr && TovMutexLock(m_MethodMutex) == 0;
    try {
        myprintf(stderr, "%s", text);
    } catch (...) {
        // A factory answers the broker whether or not its trace was kept.
    }
    if (locked) TovMutexUnlock(m_MethodMutex);
}

int CLIProvider::processReturnCode(int rc) {
    const char* keyword = argc2 > 1 && argv2 != nullptr ? argv2[1] : "";
    return applyResultTable(rc, returnCodes, keyword, ResultColumn::Provider);
}

CmpiStatus CLIProvider::invokeMethod(const CmpiContext&, CmpiResult& rslt,
                                     const CmpiObjectPath& cop, const char* method,
                                     const CmpiArgs& in, CmpiArgs& out) {
    FnLogger log("CLIProvider::invokeMethod");
    CmpiStatus checked = checkInstancePath(cop, kServed, log);
    if (checked.rc() != CMPI_RC_OK) return checked;
    if (method == nullptr || std::strcmp(method, kMethodName) != 0) {
        log.log("Invalid method");
        return CmpiStatus(CMPI_RC_ERR_METHOD_NOT_FOUND);
    }

    log.log("Processing arguments");
    ArgumentVector args;
    bool usable = true;
    bool haveVector = false;
    bool warningFlag = false;
    try {
        CmpiArray commands = in.getArg("commands");
        const CMPICount n = commands.size();
        // No command line comes near this; the count is bounded before it
        // sizes the vector.
        if (n > kMaxCommandWords) throw CmpiStatus(CMPI_RC_ERR_INVALID_PARAMETER);
        haveVector = args.allocate(static_cast<int>(n) + 1) && args.set(0, kProgramName);
        for (CMPICount i = 0; haveVector && i < n; ++i)
            haveVector = args.set(static_cast<int>(i) + 1, commands[i]);
        // The trace file is readable by more than the broker: password words
        // are masked, which needs the whole command line first.
        for (int i = 1; haveVector && i < args.size(); ++i)
            log.log("Command %d = %s", i - 1,
                    isPasswordWord(args.words(), args.size(), i) ? kPasswordMask : args.words()[i]);
        CMPIBoolean flag = in.getArg("warningFlag");
        warningFlag = flag != 0;
        if (warningFlag) log.log("Warning flag is ON");
    } catch (const CmpiStatus&) {
        log.log("Caught exception!!!");
        usable = false;
    }
    log.log("Done processing arguments");
    if (!usable) return CmpiStatus(CMPI_RC_ERR_INVALID_PARAMETER);
    if (!haveVector) {
        log.log("No commands provided");
        return CmpiStatus(CMPI_RC_ERR_FAILED);
    }

    if (m_MethodMutex == nullptr || TovMutexLock(m_MethodMutex) != 0) {
        log.log("Method mutex is NULL/can not be locked");
        return CmpiStatus(CMPI_RC_ERR_FAILED);
    }
    RequestScope request(m_MethodMutex);
    const int value = runCommand(log, args.words(), args.size(), warningFlag);
    log.log("%s", maskPasswordWords(retString, args.words(), args.size()).c_str());
    out.setArg("result", CmpiData(retString.c_str()));
    out.setArg("warningType", CmpiData(static_cast<CMPIUint32>(outputWarningFlag)));
    returnMethodValue(rslt, value);
    storLib().endRequest(outputWarningFlag);
    return CmpiStatus(CMPI_RC_OK);
}

int CLIProvider::runCommand(FnLogger& log, char** words, int count, bool warningFlag) {
    storLib().startRequest();
    inputWarningFlag = warningFlag ? 1 : 0;
    outputWarningFlag = 0;
    discardOutputData();
    // A command that answers 5 without calling the library must not report
    // an earlier request's outcome.
    returnCodes = Ret(-1);
    argc2 = count;
    argv2 = words;
    setUCliLogPath();
    if (argc2 >= 3 && strcasecmp(argv2[argc2 - 1], "noprompt") == 0) {
        --argc2;
        prompt = 0;
    } else {
        prompt = 1;
    }

    loadFunctions();
    if (fnResolver == nullptr) return 1;
    if (argc2 == 1) {
        fnResolver->showCommandList();
        return 1;
    }
    if (argc2 == 2 && !isSingleWordCommand(argv2[1])) {
        fnResolver->showHelp();
        return 1;
    }

    StorLibPlugin* lib = loadLibrary(argv2);
    storLib().adopt(lib);
    if (lib == nullptr) {
        myprintf(stdout, "Error, cannot load library.\n");
        // As the program's exit code says: the command did not run.
        return 1;
    }
    unsigned long controllers = 0;
    lib->getControllerCount(controllers);
    myprintf(stdout, "Controllers found: %ld\n", static_cast<long>(controllers));

    log.log("Invoking executeOrShowHelp");
    const int rc = fnResolver->executeOrShowHelp(lib);
    log.log("Completed executeOrShowHelp, rc = %d", rc);
    return processReturnCode(rc);
}
