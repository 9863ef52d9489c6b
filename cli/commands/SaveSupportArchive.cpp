#include "cli/commands/SaveSupportArchive.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/System.h"
#include "cli/CommandLog.h"
#include "cli/Engine.h"
#include "cli/ReportPrinters.h"
#include "cli/commands/CommandHelpers.h"
#include "cli/commands/GetConfig.h"
#include "cli/commands/MaintenanceSupport.h"
#include "common/Addr.h"
#include "common/HostPath.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr const char* kKeyword = "SAVESUPPORTARCHIVE";
constexpr const char* kController = "Controller";

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

File openFile(const std::string& path, const char* mode)
{
    return File(std::fopen(path.c_str(), mode), &std::fclose);
}

// The controller log steps: step number, log type and file kind.
struct LogStep {
    int type;
    const char* kind;
};
const LogStep kLogSteps[] = {
    {0, "Device_log.txt"}, {5, "Deaddrives.txt"}, {6, "Event_log.txt"},
    {7, "Logs.txt"},       {8, "Monitor_log.txt"}, {9, "Stats.txt"},
};

const char* const kAdditionalFiles[] = {
    "UcliEvt.log", "UcliErr.log",  "RaidEvt.log",  "RaidEvtA.log", "RaidErrA.log", "RaidErr.log",
    "RaidDP.log",  "RaidAgnt.pps", "vynerror.txt", "vyntrace.txt", "dbg.api",      "fsafibs.txt",
};

// Copies what is left of `from` to `to` through one fixed buffer.
void copyStream(FILE* from, FILE* to)
{
    std::vector<char> chunk(SaveSupportArchive::COPY_CHUNK);
    std::size_t got;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), from)) > 0)
        if (std::fwrite(chunk.data(), 1, got, to) != got)
            return;
}

// The path that the monitor log element names in its last attribute.
std::string monitorLogPath(const char* content)
{
    const char* equals = std::strrchr(content, '=');
    if (equals == nullptr)
        return std::string();
    const char* start = equals + 1;
    if (*start == '"')
        ++start;
    const char* end = std::strchr(start, '"');
    return end != nullptr ? std::string(start, end) : std::string(start);
}

void writeText(FILE* file, const char* text)
{
    std::fwrite(text, 1, std::strlen(text), file);
}

}  // namespace

std::string SaveSupportArchive::logDirectory()
{
    return logFilePath[0] != '\0' ? std::string(logFilePath) : vynHostPath("/var/log/");
}

std::string SaveSupportArchive::supportDirectory()
{
    return logDirectory() + "Support";
}

bool SaveSupportArchive::makeSupportDirectory()
{
    return ::mkdir(supportDirectory().c_str(), 0775) == 0 || errno == EEXIST;
}

int SaveSupportArchive::loadArguments(char**, int argc, StorLibPlugin*)
{
    if (argc > 2)
        return 3;
    debugArgumentsValid(kKeyword);
    return 0;
}

int SaveSupportArchive::execute(StorLibPlugin* lib)
{
    debugExecuting(kKeyword);
    System* system = lib != nullptr ? lib->getSystem() : nullptr;
    if (system == nullptr)
        return 1;
    // The system's XML rebuilds the tree for every controller, so only the
    // count is taken here; each step looks its controller up again.
    const int count = static_cast<int>(collect<Adapter>(system, "Adapter", false).size());
    for (int index = 0; index < count; ++index)
        getSupportLogs(lib, static_cast<unsigned>(index));
    if (count > 0)
        getAdditionalSupportLogs();
    return 0;
}

void SaveSupportArchive::getSupportLogs(StorLibPlugin* lib, unsigned index)
{
    adapterNumber = static_cast<int>(index);
    const Addr controller(index);
    std::vector<char> content(CONTENT_SIZE);
    char name[NAME_SIZE];

    for (const LogStep& step : kLogSteps) {
        std::snprintf(name, sizeof name, " %s %d %s", kController, index + 1, step.kind);
        unsigned long size = CONTENT_SIZE;
        content[0] = '\0';
        returnCodes = lib->getControllerLog(controller, static_cast<EnumLogTypeRequest>(step.type), content.data(),
                                            size, 0);
        if (returnCodes.getReturn() == 0) {
            content[std::min<unsigned long>(size, CONTENT_SIZE - 1)] = '\0';
            saveSupportLogs(step.kind, name, content.data());
        }
    }

    char* xml = nullptr;
    returnCodes = lib->getSystemConfig(&xml);
    if (returnCodes.getReturn() == 0 && xml != nullptr)
        saveSupportLogs("vynconfig.xml", "vynconfig.xml", xml);
    delete[] xml;

    std::snprintf(name, sizeof name, "%s %d %s", kController, index + 1, "SmartStats.xml");
    unsigned long size = CONTENT_SIZE;
    content[0] = '\0';
    returnCodes = lib->getSmartStats(controller, content.data(), size);
    if (returnCodes.getReturn() == 0) {
        content[std::min<unsigned long>(size, CONTENT_SIZE - 1)] = '\0';
        saveSupportLogs("SmartStats.xml", name, content.data());
    }

    makeSupportDirectory();
    std::snprintf(name, sizeof name, " %s %d %s", kController, index + 1, "Config.txt");
    if (findAdapter(lib, static_cast<int>(index)) == nullptr)
        return;
    FILE* report = setFilePointer((supportDirectory() + "/" + name).c_str());
    if (report == nullptr)
        return;
    // The report is GETCONFIG's own, of the whole controller.
    GetConfig getConfig;
    std::vector<std::string> words{"vynconf", "GETCONFIG", std::to_string(index + 1), "AL"};
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(&word[0]);
    argv.push_back(nullptr);
    if (getConfig.loadArguments(argv.data(), static_cast<int>(words.size()), lib) == 0)
        getConfig.execute(lib);
    std::fclose(report);
    CONFIGOUT = stdout;
}

void SaveSupportArchive::saveSupportLogs(const char* kind, const char* fileName, const char* content)
{
    if (!makeSupportDirectory())
        return;
    File file = openFile(supportDirectory() + "/" + fileName, "w");
    if (file == nullptr)
        return;
    const std::string type = kind;
    if (type == "Deaddrives.txt" || type == "Stats.txt") {
        printXML(content, file.get());
    } else if (type == "Logs.txt") {
        const char* start = std::strstr(content, "CDATA[");
        if (start != nullptr) {
            start += std::strlen("CDATA[");
            const char* end = std::strstr(start, "]]>");
            const std::size_t length = end != nullptr ? static_cast<std::size_t>(end - start) : std::strlen(start);
            std::fwrite(start, 1, length, file.get());
            writeText(file.get(), "\n");
        }
    } else if (type == "Monitor_log.txt") {
        const std::string path = monitorLogPath(content);
        File monitor = path.empty() ? File(nullptr, &std::fclose) : openFile(path, "rb");
        if (monitor != nullptr)
            copyStream(monitor.get(), file.get());
    } else {
        writeText(file.get(), content);
    }
}

void SaveSupportArchive::getAdditionalSupportLogs()
{
    const std::string installDirectory = vynHostPath("/usr/Kalpern/");
    for (const char* name : kAdditionalFiles) {
        File from = openFile(logDirectory() + name, "rb");
        if (from == nullptr)
            from = openFile(installDirectory + name, "rb");
        if (from == nullptr || !makeSupportDirectory())
            continue;
        File to = openFile(supportDirectory() + "/" + name, "wb");
        if (to != nullptr)
            copyStream(from.get(), to.get());
    }
    myprintf(stdout, "\nAll the logs are saved in %sSupport \n", logDirectory().c_str());
}

void SaveSupportArchive::displayHelp()
{
    myprintf(stdout, " Usage: SAVESUPPORTARCHIVE  [nologs]\n");
    myprintf(stdout, " %s\n", std::string(54, '=').c_str());
    myprintf(stdout, "\n");
    myprintf(stdout, " Saves the all the logs \n");
}
