#include "RaidLib/StorLib.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "RaidModel/Interface/System.h"
#include "common/SimpleXmlParser.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {

// The stamp of the replay log line being written; one replay runs at a time.
char timeEntr[27];

constexpr std::size_t TIME_ENTRY_LAST = 26;

// The replay log, open for appending while playConfig runs; the controller
// family's replay appends to the same file through its own stream.
class ReplayLog {
public:
    explicit ReplayLog(const char* path) : file(path != nullptr ? std::fopen(path, "a") : nullptr) {}
    ~ReplayLog() { close(); }
    ReplayLog(const ReplayLog&) = delete;
    ReplayLog& operator=(const ReplayLog&) = delete;

    bool isOpen() const { return file != nullptr; }
    void line(const char* message) { std::fprintf(file, "%s   %s. \n", StorLib::getTime(timeEntr), message); }
    void lineWithoutBlank(const char* message)
    {
        std::fprintf(file, "%s   %s.\n", StorLib::getTime(timeEntr), message);
    }
    // Lines written so far must reach the file before another writer
    // appends to it.
    void flush() { std::fflush(file); }
    void close()
    {
        if (file != nullptr) {
            std::fclose(file);
            file = nullptr;
        }
    }

private:
    FILE* file;
};

// The parser never reads past the text's first NUL, whatever size the caller
// claims: the library cannot know the size of the caller's buffer.
unsigned long parsableLength(const char* text, long buffersize)
{
    if (text == nullptr || buffersize <= 0) {
        return 0;
    }
    return static_cast<unsigned long>(strnlen(text, static_cast<std::size_t>(buffersize)));
}

void formatAsctime(const struct tm& t, char* out, std::size_t size)
{
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const char* day = t.tm_wday >= 0 && t.tm_wday < 7 ? days[t.tm_wday] : "???";
    const char* month = t.tm_mon >= 0 && t.tm_mon < 12 ? months[t.tm_mon] : "???";
    std::snprintf(out, size, "%.3s %.3s%3d %.2d:%.2d:%.2d %d\n", day, month, t.tm_mday, t.tm_hour,
                  t.tm_min, t.tm_sec, t.tm_year + 1900);
}

}  // namespace

char* StorLib::getTime(char* timeEntry)
{
    const time_t now = std::time(nullptr);
    struct tm local;
    if (localtime_r(&now, &local) != nullptr) {
        char text[64];
        formatAsctime(local, text, sizeof text);
        // The stamp's bytes, NUL-padded to its full width.
        std::memset(timeEntry, 0, TIME_ENTRY_LAST + 1);
        std::memcpy(timeEntry, text, std::min(std::strlen(text), TIME_ENTRY_LAST + 1));
    }
    // From the text's newline on, blanks; a buffer without text is all
    // blanks.
    const std::size_t length = strnlen(timeEntry, TIME_ENTRY_LAST + 1);
    for (std::size_t i = length > 0 ? length - 1 : 0; i <= TIME_ENTRY_LAST; ++i) {
        timeEntry[i] = ' ';
    }
    timeEntry[TIME_ENTRY_LAST] = '\0';
    return timeEntry;
}

Ret StorLib::playConfig(char** pXmlIN, long buffersize, EnumForceOption force, char* logFile, bool slotIDFlag)
{
    StorDebugTracer trace(storLibType, STOR_DEBUG_TRACE,
                          "StorLib::playConfig(char** pXmlIN, long buffersize, EnumForceOption force, "
                          "char *logFile, bool slotIDFlag)");
    Ret ret(0);
    ReplayLog log(logFile);
    if (!log.isOpen()) {
        std::printf("\n %s \n", "Unable to find log file");
        std::fflush(stdout);
        ret.setReturn(-3);
        return ret;
    }
    if (pXmlIN == nullptr) {
        StorErrorPrintf(storLibType, __FILE__, __LINE__, "NULL Input XML file");
        log.lineWithoutBlank("NULL Input XML file");
        ret.setBadParam(0);
        StorErrorPrintf(storLibType, __FILE__, __LINE__, "*** Bad Parameter: %s, paramValue=%d ***",
                        "pXmlIN==NULL", 0);
        return ret;
    }
    // A root that no handle holds yet; discarded with its tree unless released.
    class PendingRoot {
    public:
        explicit PendingRoot(StorLib& owner) : lib(owner), root(nullptr) {}
        ~PendingRoot() { lib.discardSystem(release()); }
        PendingRoot(const PendingRoot&) = delete;
        PendingRoot& operator=(const PendingRoot&) = delete;

        System* release()
        {
            System* held = root;
            root = nullptr;
            return held;
        }

        StorLib& lib;
        System* root;
    };

    try {
        SimpleXmlParser parser(*pXmlIN, parsableLength(*pXmlIN, buffersize));
        PendingRoot parsed(*this);
        PendingRoot current(*this);
        try {
            parsed.root = newSystem();
            current.root = newSystem();
        } catch (...) {
            StorErrorPrintf(storLibType, __FILE__, __LINE__, "Exception in creating newSystem()");
            log.line("Exception in creating newSystem()");
            discardSystem(parsed.release());
            discardSystem(current.release());
        }
        if (parsed.root != nullptr) {
            parsed.root->buildChildren(parser);
        }
        if (current.root != nullptr) {
            current.root->buildChildren(this, ret);
        }
        System* parsedRoot = parsed.release();
        System* currentRoot = current.release();
        parsedSystem = parsedRoot;
        curSystem = currentRoot;

        if (parsedRoot == nullptr) {
            StorErrorPrintf(storLibType, __FILE__, __LINE__, "NULL newParsedSystem");
            log.line("NULL newParsedSystem");
            ret.setResource();
            StorErrorPrintf(storLibType, __FILE__, __LINE__, "*** Resource Error: %s ***", "NULL newParsedSystem");
            return ret;
        }
        if (currentRoot == nullptr) {
            StorErrorPrintf(storLibType, __FILE__, __LINE__, "NULL currentSystem");
            log.line("NULL currentSystem");
            ret.setResource();
            StorErrorPrintf(storLibType, __FILE__, __LINE__, "*** Resource Error: %s ***", "NULL currentSystem");
            return ret;
        }
        log.flush();
        ret = currentRoot->compareConfig(this, *parsedRoot, *currentRoot, logFile, force, slotIDFlag);
    } catch (...) {
        StorErrorPrintf(storLibType, __FILE__, __LINE__, "Exception Captured");
        log.line("Exception Captured");
        ret.setException();
        StorErrorPrintf(storLibType, __FILE__, __LINE__, "*** Exception Caught ***");
    }
    return ret;
}
