#ifndef VYN_CLI_COMMANDS_SAVESUPPORTARCHIVE_H
#define VYN_CLI_COMMANDS_SAVESUPPORTARCHIVE_H

#include <string>

#include "cli/UcliFunction.h"

// SAVESUPPORTARCHIVE: every controller's logs, statistics, SMART data and
// configuration report, the system's XML and the logs found on the machine,
// gathered in one support directory beside the command logs.
class SaveSupportArchive : public UcliCommand {
public:
    // Room for one controller log or the system's XML.
    static constexpr unsigned long CONTENT_SIZE = 0x300000;
    static constexpr unsigned long NAME_SIZE = 528;
    // Extra files are copied through a buffer of this size, whatever their
    // length.
    static constexpr unsigned long COPY_CHUNK = 64 * 1024;

    SaveSupportArchive()
        : UcliCommand("SAVESUPPORTARCHIVE",
                      "saves the support archive ",
                      Listed)
    {
    }

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

    // The files of the controller at `index`.
    void getSupportLogs(StorLibPlugin* lib, unsigned index);
    // The command, agent and debug logs found on the machine.
    void getAdditionalSupportLogs();
    // One file of the support directory, written as its kind asks.
    void saveSupportLogs(const char* kind, const char* fileName, const char* content);

private:
    // The log directory, with its trailing slash.
    static std::string logDirectory();
    static std::string supportDirectory();
    static bool makeSupportDirectory();
};

#endif
