#include "cli/support/CommandRunners.h"

#include "RaidLib/StorLibPlugin.h"
#include "cli/CommandLog.h"
#include "cli/Engine.h"
#include "cli/FunctionResolver.h"
#include "cli/ResultTable.h"
#include "common/Ret.h"

#include <strings.h>

namespace vyntest {

namespace {

std::vector<unsigned> recordedPauses;

void recordPause(unsigned seconds)
{
    recordedPauses.push_back(seconds);
}

bool isSingleWordCommand(const char* word)
{
    for (const char* keyword : {"GETVERSION", "GETXML", "SAVESUPPORTARCHIVE", "SAVECONFIG"})
        if (strcasecmp(word, keyword) == 0)
            return true;
    return false;
}

StorLibPlugin* makeLibraryObject(const LibraryFactory& makeLibrary)
{
    if (!makeLibrary)
        return nullptr;
    try {
        return makeLibrary();
    } catch (...) {
        return nullptr;
    }
}

// The request's steps once the engine is set, as the provider takes them;
// the value of the result table.
int runRequest(const LibraryFactory& makeLibrary)
{
    loadFunctions();
    if (fnResolver == nullptr)
        return 1;
    if (argc2 == 1) {
        fnResolver->showCommandList();
        return 1;
    }
    if (argc2 == 2 && !isSingleWordCommand(argv2[1])) {
        fnResolver->showHelp();
        return 1;
    }
    const bool singleAdapter = strcasecmp(argv2[1], "GETCONFIG") == 0;
    const int adapter = singleAdapter ? fnResolver->parseAdapterNumber() : -1;
    StorLibPlugin* lib = makeLibraryObject(makeLibrary);
    if (lib == nullptr) {
        myprintf(stdout, "Error, cannot load library.\n");
        return 1;
    }
    if (singleAdapter)
        lib->getSystemConfigForSingleAdapter(static_cast<unsigned long>(static_cast<long>(adapter)));
    else
        lib->getSystemConfig();
    unsigned long controllers = 0;
    lib->getControllerCount(controllers);
    myprintf(stdout, "Controllers found: %ld\n", static_cast<long>(controllers));
    const int rc = fnResolver->executeOrShowHelp(lib);
    const int value = applyResultTable(rc, returnCodes, argv2[1], ResultColumn::Provider);
    delete lib;
    return value;
}

}  // namespace

ProviderResult runAsProvider(const std::vector<std::string>& words, const LibraryFactory& makeLibrary,
                             bool warningFlag)
{
    resetEngineState();
    std::vector<std::string> storage;
    storage.reserve(words.size() + 1);
    storage.emplace_back("vynconf");
    storage.insert(storage.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& word : storage)
        argv.push_back(&word[0]);
    argv.push_back(nullptr);

    FILE* const previousSink = capturedOutputSink;
    capturedOutputSink = nullptr;
    inputWarningFlag = warningFlag ? 1 : 0;
    outputWarningFlag = 0;
    discardOutputData();
    returnCodes = Ret(-1);
    argc2 = static_cast<int>(storage.size());
    argv2 = argv.data();
    setUCliLogPath();
    if (argc2 >= 3 && strcasecmp(argv2[argc2 - 1], "noprompt") == 0) {
        --argc2;
        prompt = 0;
    } else {
        prompt = 1;
    }

    ProviderResult result;
    result.value = runRequest(makeLibrary);
    result.text = retString;
    result.warningType = outputWarningFlag;
    delete fnResolver;
    fnResolver = nullptr;
    argc2 = 0;
    argv2 = nullptr;
    capturedOutputSink = previousSink;
    return result;
}

RecordedSleeps::RecordedSleeps() : previous_(setCliSleep(recordPause))
{
    recordedPauses.clear();
}

RecordedSleeps::~RecordedSleeps()
{
    setCliSleep(previous_);
    recordedPauses.clear();
}

const std::vector<unsigned>& RecordedSleeps::pauses() const
{
    return recordedPauses;
}

}  // namespace vyntest
