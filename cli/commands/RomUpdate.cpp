#include "cli/commands/RomUpdate.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "cli/ArgParse.h"
#include "cli/CommandLog.h"
#include "cli/Confirm.h"
#include "cli/Engine.h"
#include "cli/ErrorMessages.h"
#include "cli/ResultTable.h"
#include "cli/commands/CommandHelpers.h"
#include "cli/commands/MaintenanceSupport.h"
#include "common/Addr.h"

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kKeyword = "ROMUPDATE";
constexpr const char* kImageSuffix = "01.ufi";
// The extension keeps its case in the case variants of a name.
constexpr std::size_t kExtensionLength = 4;

bool canOpen(const char* path)
{
    FILE* file = std::fopen(path, "r");
    if (file == nullptr)
        return false;
    std::fclose(file);
    return true;
}

// The name with its last path component, up to the extension, in one case.
std::string caseVariant(const std::string& name, bool upper)
{
    std::string variant = name;
    if (variant.size() <= kExtensionLength)
        return variant;
    for (std::size_t i = variant.size() - kExtensionLength; i-- > 0;) {
        if (variant[i] == '/' || variant[i] == '\\')
            break;
        const unsigned char c = static_cast<unsigned char>(variant[i]);
        variant[i] = static_cast<char>(upper ? std::toupper(c) : std::tolower(c));
    }
    return variant;
}

}  // namespace

int RomUpdate::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    skip = allControllers = force = newVersionGiven = false;
    newBuild = 0;
    baseName[0] = '\0';
    keywordTyped = argc > 1 ? argv[1] : kKeyword;
    if (argc < 4)
        return 3;
    if (strcasecmp(argv[2], "All") == 0)
        allControllers = true;
    else if (!readControllerWord(argv[2], adapterNumber))
        return 3;
    std::snprintf(baseName, sizeof baseName, "%s", argv[3]);

    int word = 4;
    while (word < argc) {
        if (std::strcmp(argv[word], "/SKip") == 0) {
            skip = true;
        } else if (strcasecmp(argv[word], "newversion") == 0) {
            if (word + 1 >= argc)
                return 3;
            const int build = ascii2int(argv[word + 1]);
            if (build == CLI_NAN)
                return 3;
            newBuild = build;
            newVersionGiven = true;
            ++word;
        } else if (strcasecmp(argv[word], "force") == 0) {
            force = true;
        } else {
            break;
        }
        ++word;
    }
    if (word < argc)
        return 3;
    if (UCLI_DEBUG)
        myprintf(stderr, "%s: file: %s\n", kKeyword, baseName);
    debugArgumentsValid(kKeyword);
    return 0;
}

bool RomUpdate::findUfiFile()
{
    std::string search = baseName;
    if (search.find(kImageSuffix) == std::string::npos)
        search += kImageSuffix;
    std::snprintf(imageName, sizeof imageName, "%s", search.c_str());
    if (canOpen(imageName))
        return true;
    for (bool upper : {true, false}) {
        const std::string variant = caseVariant(imageName, upper);
        if (canOpen(variant.c_str())) {
            std::snprintf(imageName, sizeof imageName, "%s", variant.c_str());
            return true;
        }
    }
    return false;
}

void RomUpdate::setEventLogEntry(Adapter* adapter)
{
    // Each version part is held to 32 characters.
    const auto clip = [](const std::string& text) { return text.substr(0, 32); };
    std::string entry = "Update: BIOS";
    const unsigned long oldBuild = adapter->getBiosBuildNum();
    const std::string oldText = adapter->getBiosVersion();
    if (oldBuild != 0)
        entry += ", Old version: " + clip(oldText + " (" + std::to_string(static_cast<int>(oldBuild)) + ")");
    else if (oldText.empty())
        entry += ", Old version: Unknown";
    else
        entry += ", " + clip(oldText);
    const unsigned long newNumber =
        newVersionGiven ? static_cast<unsigned long>(newBuild) : adapter->getFwBootBuildNum();
    entry += ", New version: " + (newNumber != 0 ? clip(std::to_string(static_cast<int>(newNumber))) : "Unknown");
    std::snprintf(logEntryAction, sizeof logEntryAction, "%s", entry.c_str());
}

int RomUpdate::execute(StorLibPlugin* lib)
{
    debugExecuting(kKeyword);
    std::vector<int> selected;
    if (allControllers) {
        const unsigned long count = lib != nullptr ? lib->getNumAdapters() : 0;
        for (unsigned long i = 0; i < count; ++i)
            if (findAdapter(lib, static_cast<int>(i)) != nullptr)
                selected.push_back(static_cast<int>(i));
    } else {
        if (findAdapter(lib, adapterNumber) == nullptr)
            return 6;
        selected.push_back(adapterNumber);
    }
    if (selected.empty()) {
        myprintf(stdout, "No controllers have been selected for update.\n");
        return 2;
    }
    if (!findUfiFile()) {
        myprintf(stdout, "%s does not exist.\n", imageName);
        return 2;
    }
    myprintf(stdout, "\n");
    if (confirmBeforeActing("\nAre you sure you want to continue?\n") == CONFIRMATION_PENDING)
        return CONFIRMATION_PENDING;

    int successes = 0;
    for (int index : selected) {
        Adapter* adapter = findAdapter(lib, index);
        if (adapter == nullptr)
            continue;
        if (newVersionGiven && !force && static_cast<unsigned long>(newBuild) < adapter->getBiosBuildNum()) {
            myprintf(stdout, "Cannot flash controller %d with downlevel firmware.  Use 'force' to override.\n",
                     index + 1);
            continue;
        }
        myprintf(stdout, "Updating %s %d firmware...", "controller", index + 1);
        returnCodes = lib->upgradeControllerFirmware(Addr(static_cast<std::uint32_t>(index)), imageName, skip);
        if (returnCodes.getReturn() == 0) {
            ++successes;
            myprintf(stdout, "Succeeded");
            myprintf(stdout, "\n");
            myprintf(stdout, "A new software image has been applied to %s %d.\n", "controller", index + 1);
            myprintf(stdout, "You must restart the system for firmware updates to take effect.\n");
        } else {
            char message[400];
            myprintf(stdout, "Failed");
            myprintf(stdout, "\n");
            myprintf(stdout, "%s", getErrorMessage(returnCodes, message, keywordTyped));
            myprintf(stdout, "\n");
            myprintf(stdout, "\n");
        }
        setEventLogEntry(adapter);
        if (!disableUcliLog)
            writeEventLogEntry(5);
    }
    if (successes > 0)
        return 7;
    if (returnCodes.getReturn() == -1)
        return 2;
    const unsigned int api = returnCodes.getAPIReturn();
    if (api == 587 || api == 590)
        return 16;
    return 8;
}

void RomUpdate::displayHelp()
{
    myprintf(stdout, " Usage: ROMUPDATE <Controller#|all> <BaseName> [newversion <build#> [force]] [noprompt]"
                     " [nologs]\n");
    myprintf(stdout, " Updates controller firmware.\n");
    myprintf(stdout, "    Controller#   : Controller number to update\n");
    myprintf(stdout, "    all           : Will apply the update to all controllers for which it is valid\n");
    myprintf(stdout, "    BaseName      : If you have a set of controller ROM images\n"
                     "                  this is the name of the ROM image basename\n"
                     "                  or the fully qualified name\n");
    myprintf(stdout, "    newversion    : The build number of the new firmware\n");
    myprintf(stdout, "    build#        : mandatory if newversion parameter used\n");
    myprintf(stdout, "    force         : optional parameter forces a downlevel firmware update\n"
                     "                  only relevant if newversion parameter used\n");
    myprintf(stdout, "    noprompt      : No prompt for confirmation\n");
    myprintf(stdout, "    Example: ROMUPDATE 1 AC2200\n");
    myprintf(stdout, "    Example: ROMUPDATE all AC2200 newversion 15321\n");
}
