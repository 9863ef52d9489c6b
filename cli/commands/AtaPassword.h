#ifndef VYN_CLI_COMMANDS_ATAPASSWORD_H
#define VYN_CLI_COMMANDS_ATAPASSWORD_H

#include <cstddef>

#include "cli/UcliFunction.h"

// ATAPASSWORD: sets or clears the ATA security password of a SATA drive, so
// that the drive can be erased securely.
class AtaPassword : public UcliCommand {
public:
    AtaPassword() : UcliCommand("ATAPASSWORD", "Setting password on a physical drive", Listed) {}

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

    // The drive keeps at most this many characters of a password.
    static constexpr std::size_t MAX_PASSWORD_LENGTH = 31;

private:
    bool set = false;
    const char* password = nullptr;
    int channel = 0;
    int device = 0;
};

#endif
