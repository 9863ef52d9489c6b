#include "cli/Vynconf.h"

#include "RaidLib/StorLibPlugin.h"
#include "cli/CommandLog.h"
#include "cli/Engine.h"
#include "cli/FunctionResolver.h"
#include "cli/PasswordMask.h"
#include "cli/ResultTable.h"
#include "common/Ret.h"

#include <strings.h>

#include <cstring>

namespace {

bool sameWord(const char* a, const char* b)
{
    return a != nullptr && strcasecmp(a, b) == 0;
}

// Each word and a blank, while the text, the word and two more characters
// stay below the buffer's size.
void buildEchoString(char* out, std::size_t size, char** argv, int argc, bool maskPasswords)
{
    out[0] = '\0';
    std::size_t used = 0;
    for (int i = 0; i < argc; ++i) {
        const char* word = maskPasswords && isPasswordWord(argv, argc, i) ? kPasswordMask : argv[i];
        const std::size_t length = std::strlen(word);
        if (used + length + 2 >= size)
            break;
        std::memcpy(out + used, word, length);
        out[used + length] = ' ';
        used += length + 1;
        out[used] = '\0';
    }
}

void setModes(const char* program)
{
    if (std::strstr(program, "-devel") != nullptr) {
        UCLI_DEVELOPER_MODE = 1;
        UCLI_DEBUG = 0;
    } else if (std::strstr(program, "-debug2") != nullptr ||
               std::strstr(program, "-debug1") != nullptr) {
        UCLI_DEVELOPER_MODE = 1;
        UCLI_DEBUG = 1;
    }
}

// Takes the trailing options off the end; after each one the tests start
// over, so options may come in any order.
void peelTrailingOptions(char** argv, int& argc)
{
    while (argc >= 2) {
        const char* last = argv[argc - 1];
        const char* beforeLast = argc >= 3 ? argv[argc - 2] : nullptr;
        if (sameWord(last, "noprompt")) {
            --argc;
            prompt = 0;
        } else if (sameWord(last, "echo")) {
            --argc;
            ucliprintf(UCLI_STDOUT, cliEchoStr);
        } else if (sameWord(last, "eventlog") || sameWord(last, "errorlog")) {
            --argc;
        } else if (sameWord(beforeLast, "eventlog")) {
            useUserEventLog = 1;
            userEventLog = last;
            argc -= 2;
        } else if (sameWord(beforeLast, "errorlog")) {
            useUserErrorLog = 1;
            userErrorLog = last;
            argc -= 2;
        } else {
            break;
        }
    }
}

// "nologs" may stand last or next-to-last; only the word itself goes, and
// the options it hid behind it ("... noprompt nologs") are peeled after it.
void applyNoLogs(char** argv, int& argc)
{
    if (argc < 2)
        return;
    if (sameWord(argv[argc - 1], "nologs")) {
        disableUcliLog = 1;
        --argc;
    } else if (argc >= 3 && sameWord(argv[argc - 2], "nologs")) {
        disableUcliLog = 1;
        argv[argc - 2] = argv[argc - 1];
        --argc;
    } else {
        return;
    }
    peelTrailingOptions(argv, argc);
}

bool runsWithoutArguments(const char* keyword)
{
    for (const char* name : {"GETVERSION", "GETXML", "SAVESUPPORTARCHIVE", "SAVECONFIG"})
        if (sameWord(keyword, name))
            return true;
    return false;
}

// IMAGEUPDATE keeps the library's debug files only when asked to with
// "forcelog" among the words from the ninth on.
bool imageUpdateKeepsDebugLogs(char** argv, int argc)
{
    if (argc < 9 || argc > 11)
        return false;
    for (int i = 8; i < argc; ++i)
        if (sameWord(argv[i], "forcelog"))
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

// Loads the library and its tree for the command; false when no library
// object could be made. `lib` stays null for DRIVERUPDATE.
bool loadLibrary(const LibraryFactory& makeLibrary, StorLibPlugin*& lib)
{
    const char* keyword = argv2[1];
    lib = nullptr;
    if (sameWord(keyword, "DRIVERUPDATE"))
        return true;
    const int adapter = sameWord(keyword, "GETCONFIG") ? fnResolver->parseAdapterNumber() : -1;
    lib = makeLibraryObject(makeLibrary);
    if (lib == nullptr)
        return false;
    if (disableUcliLog)
        lib->disableDebugLogs();
    if (sameWord(keyword, "GETCONFIG")) {
        lib->getSystemConfigForSingleAdapter(static_cast<unsigned long>(adapter));
    } else {
        if (!disableUcliLog && sameWord(keyword, "IMAGEUPDATE") &&
            !imageUpdateKeepsDebugLogs(argv2, argc2))
            lib->disableDebugLogs();
        lib->getSystemConfig();
    }
    unsigned long count = 0;
    lib->getControllerCount(count);
    myprintf(stdout, "Controllers found: %ld\n", static_cast<long>(count));
    return true;
}

int runCommandLine(char** argv, int argc, const LibraryFactory& makeLibrary)
{
    returnCodes = Ret(-1);
    argc2 = argc;
    argv2 = argv;
    useUserEventLog = 0;
    userEventLog = nullptr;
    useUserErrorLog = 0;
    userErrorLog = nullptr;
    disableUcliLog = 0;
    logEntryAction[0] = '\0';

    setModes(argv[0]);
    buildEchoString(cliEchoStr, sizeof cliEchoStr, argv, argc, false);
    char loggedEcho[CLI_ECHO_SIZE];
    buildEchoString(loggedEcho, sizeof loggedEcho, argv, argc, true);

    peelTrailingOptions(argv, argc);
    setUCliLogPath();
    applyNoLogs(argv, argc);
    argv[argc] = nullptr;
    argc2 = argc;
    if (!disableUcliLog)
        ucliprintf(UCLI_EVENT_LOG, loggedEcho);

    loadFunctions();
    if (fnResolver == nullptr) {
        myprintf(stderr, "Error, cannot load library.\n");
        return 1;
    }
    if (argc2 < 2 || (argc2 == 2 && !runsWithoutArguments(argv2[1]))) {
        if (argc2 < 2)
            fnResolver->showCommandList();
        else
            fnResolver->showHelp();
        delete fnResolver;
        fnResolver = nullptr;
        return 1;
    }

    StorLibPlugin* lib = nullptr;
    if (!loadLibrary(makeLibrary, lib)) {
        myprintf(stderr, "Error, cannot load library.\n");
        delete fnResolver;
        fnResolver = nullptr;
        return 1;
    }
    const int exitCode = runDispatchedCommand(*fnResolver, lib, argv2[1]);
    delete lib;
    delete fnResolver;
    fnResolver = nullptr;
    return exitCode;
}

}  // namespace

int runDispatchedCommand(FunctionResolver& resolver, StorLibPlugin* lib, const char* keyword)
{
    const int result = resolver.executeOrShowHelp(lib);
    const int exitCode = applyResultTable(result, returnCodes, keyword, ResultColumn::Program);
    if (result != 7 && result != 8 && result != 16 && !disableUcliLog)
        writeEventLogEntry(result);
    return exitCode;
}

int runVynconf(const std::vector<std::string>& words, LibraryFactory makeLibrary, FILE* realOut)
{
    resetEngineState();
    std::vector<std::string> storage(words);
    if (storage.empty())
        storage.emplace_back("vynconf");
    std::vector<char*> argv;
    for (std::string& word : storage)
        argv.push_back(&word[0]);
    argv.push_back(nullptr);

    FILE* const previousStdout = ucliRealStdout;
    ucliRealStdout = realOut != nullptr ? realOut : stdout;
    capturedOutputSink = ucliRealStdout;

    const int exitCode =
        runCommandLine(argv.data(), static_cast<int>(storage.size()), makeLibrary);

    emitCapturedOutput();
    capturedOutputSink = nullptr;
    ucliRealStdout = previousStdout;
    // The option pointers and the argument vector point into this call's words.
    argc2 = 0;
    argv2 = nullptr;
    useUserEventLog = 0;
    userEventLog = nullptr;
    useUserErrorLog = 0;
    userErrorLog = nullptr;
    return exitCode;
}
