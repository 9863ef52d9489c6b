#include "cli/commands/GetLogs.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/ModelEnums.h"
#include "cli/ArgParse.h"
#include "cli/CommandLog.h"
#include "cli/Engine.h"
#include "cli/ReportPrinters.h"
#include "cli/commands/CommandHelpers.h"
#include "common/Addr.h"
#include "common/Ret.h"

#include <strings.h>

#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <string>

namespace {

// What the controller may return at most for one log.
constexpr unsigned long LOG_BUFFER_SIZE = 0x300000;

bool is(const char* word, const char* keyword)
{
    return strcasecmp(word, keyword) == 0;
}

// The text between "CDATA[" and the next "]]>", or to the end of the text
// when the section is not closed.
std::string cdataText(const char* text)
{
    const char* start = std::strstr(text, "CDATA[");
    if (start == nullptr)
        return text;
    start += std::strlen("CDATA[");
    const char* end = std::strstr(start, "]]>");
    return end != nullptr ? std::string(start, end) : std::string(start);
}

}  // namespace

int GetLogs::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    logType = DeviceLog;
    logicalDrive = 0;
    clear = false;
    ppi = false;
    tabular = false;
    if (argc < 4 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    const char* type = argv[3];
    int next = 4;
    if (is(type, "device")) {
        logType = DeviceLog;
    } else if (is(type, "dead")) {
        logType = DeadDriveLog;
    } else if (is(type, "event")) {
        logType = EventLog;
    } else if (is(type, "monitor")) {
        logType = MonitorLog;
    } else if (is(type, "uart")) {
        logType = UartLog;
    } else if (is(type, "ppi")) {
        ppi = true;
    } else if (is(type, "stats")) {
        logType = StatisticsLog;
    } else if (is(type, "cache")) {
        if (argc < 6 || !is(argv[4], "LOGICALDRIVE"))
            return 3;
        if (is(argv[5], "All")) {
            logType = CacheLogAll;
        } else {
            const int number = ascii2int(argv[5]);
            if (number == CLI_NAN)
                return 3;
            logType = CacheLogOne;
            logicalDrive = number;
        }
        next = 6;
    } else {
        return 3;
    }
    if (argc > next) {
        if (is(argv[next], "clear")) {
            if (logType == CacheLogOne || logType == CacheLogAll)
                return 3;
            clear = true;
        } else if (is(argv[next], "tabular")) {
            tabular = true;
        }
        ++next;
    }
    if (argc > next)
        return 3;
    if (ppi && !clear)
        return 3;
    debugArgumentsValid("GETLOGS");
    return 0;
}

int GetLogs::execute(StorLibPlugin* lib)
{
    debugExecuting("GETLOGS");
    if (lib == nullptr || lib->getSystem() == nullptr)
        return 1;
    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 6;
    if (logType == CacheLogOne && findLogicalDrive(adapter, static_cast<unsigned long>(logicalDrive)) == nullptr) {
        myprintf(stderr, "\nLogical device %d does not exist.\n", logicalDrive);
        return 2;
    }
    if (logType == CacheLogAll && collect<LogicalDrive>(adapter, "LogicalDrive", false).empty()) {
        myprintf(stderr, "\nNo logical devices found.\n");
        return 2;
    }
    Addr addr;
    addr.setAdapterID(static_cast<std::uint32_t>(adapter->getAdapterID()));
    const EnumLogTypeRequest type = static_cast<EnumLogTypeRequest>(logType);
    if (clear) {
        returnCodes = ppi ? lib->clearPPITable(addr) : lib->clearControllerLog(addr, type);
        return 5;
    }

    std::unique_ptr<char[]> buffer(new (std::nothrow) char[LOG_BUFFER_SIZE]);
    if (buffer == nullptr)
        return 1;
    buffer[0] = '\0';
    if (logType == StatisticsLog)
        myprintf(stdout, "Statistics data collection is currently %s\n",
                 adapter->isStatisticDataCollectionEnabled() ? "ENABLED" : "DISABLED");
    unsigned long size = LOG_BUFFER_SIZE;
    const unsigned int drive =
        logType == CacheLogOne || logType == CacheLogAll ? static_cast<unsigned int>(logicalDrive) : 0;
    returnCodes = lib->getControllerLog(addr, type, buffer.get(), size, drive);
    if (returnCodes.getReturn() != 0)
        return 5;
    // Whatever the controller wrote, the text ends inside the buffer.
    buffer[LOG_BUFFER_SIZE - 1] = '\0';
    if (logType == MonitorLog) {
        std::snprintf(buffer.get(), LOG_BUFFER_SIZE,
                      "<ControllerLog controllerID=\"%d\" type=\"%d\" time=\"%ld\" filename=\"%s%s\"/>\n",
                      adapterNumber, static_cast<int>(MonitorLog), static_cast<long>(std::time(nullptr)),
                      logFilePath, "VelmornArch.log");
    }
    if (logType == UartLog && std::strstr(buffer.get(), "CDATA[") != nullptr)
        myprintf(stdout, "%s\n", cdataText(buffer.get()).c_str());
    else if (tabular)
        printStatisticsData(buffer.get(), nullptr);
    else
        myprintf(stdout, "%s\n", buffer.get());
    return 5;
}

void GetLogs::displayHelp()
{
    myprintf(stdout, " Usage: GETLOGS <Controller#> <Type> [clear|tabular] [nologs]\n");
    myprintf(stdout, "      : GETLOGS <Controller#> <Type2> [tabular] [nologs]\n");
    myprintf(stdout, "      : GETLOGS <Controller#> <Type3> LOGICALDRIVE <LD#> [tabular] [nologs]\n");
    myprintf(stdout, "      : GETLOGS <Controller#> <Type3> LOGICALDRIVE ALL [tabular] [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Obtains controller log information.\n");
    myprintf(stdout, "\n");
    myprintf(stdout, "    Type 1   : DEVICE,  device error log\n");
    myprintf(stdout, "              DEAD,    dead (failed) drive log\n");
    myprintf(stdout, "              EVENT,   controller event log\n");
    myprintf(stdout, "    clear   : Clears the specified log.\n");
    myprintf(stdout, "    tabular : Displays the specified log in tabular (vs XML) format.\n");
    myprintf(stdout, "    Type 2   : STATS, controller statistics data\n");
    myprintf(stdout, "    Type 3   : CACHE, cache statistics data for all or a single Logical Drive\n");
    myprintf(stdout, "       tabular : Displays statistics in tabular (vs XML) format.\n");
}
