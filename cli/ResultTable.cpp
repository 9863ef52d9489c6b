#include "cli/ResultTable.h"

#include "cli/CommandLog.h"
#include "cli/Engine.h"
#include "cli/ErrorMessages.h"
#include "common/Ret.h"

#include <cstdio>

namespace {

constexpr const char kSucceeded[] = "\nCommand completed successfully.\n";
constexpr const char kFailed[] = "\nCommand failed.\n";
constexpr const char kInitTaskNotStarted[] =
    "The initialization task on the logical device failed to start due to insufficient controller"
    " resources.\nYou must start the task manually at a later time.\nIf you choose to Clear the"
    " logical device,\nyou must allow the task to finish before storing any data on the logical"
    " device\n";
constexpr const char kOrvexaNoBackupUnit[] =
    "\nFailed to enable Orvexa write cache on the controller. Please make sure controller has the"
    " backup unit before enabling Orvexa write caching\n";
// Bytes of the buffer the error text of a failed library call is written to.
constexpr int kErrorTextSize = 400;
constexpr int kStatusTextMax = 100;

int say(const char* text, int value)
{
    myprintf(stdout, "%s", text);
    return value;
}

int libraryOutcome(const Ret& codes, const char* keyword, ResultColumn column)
{
    const unsigned int api = codes.getAPIReturn();
    if (codes.getReturn() == 0)
        return say(kSucceeded, 0);
    if (api == 96 || api == 609)
        return say(kInitTaskNotStarted, 0);
    if (api == 505 || api == 506)
        return say(kSucceeded, 0);
    if (column == ResultColumn::Program) {
        if (api == 637 || api == 638)
            return 0;
        if (api == 642)
            return say(kOrvexaNoBackupUnit, 0);
        if (api == 644) {
            myprintf(stdout, "\nThe Controller cannot detect attached devices.");
            myprintf(stdout, "\n");
            return say(kFailed, 1);
        }
    }
    char message[kErrorTextSize];
    getErrorMessage(codes, message, keyword != nullptr ? keyword : "");
    // A drive-set operation that the firmware took but could not carry out
    // for some drives fails with the firmware's success status: the command
    // has named those drives, and the status's own text would call the
    // failure a success.
    if (codes.getReturn() != -5 || api != 1) {
        myprintf(stdout, "%s", message);
        myprintf(stdout, "\n");
    }
    return say(kFailed, 1);
}

}  // namespace

int applyResultTable(int result, const Ret& codes, const char* keyword, ResultColumn column)
{
    switch (result) {
    case 0:
    case 7:
        return say(kSucceeded, 0);
    case 1:
        return say(kFailed, 1);
    case 2:
        return say("\nCommand aborted.\n", 2);
    case 3:
        return 3;
    case 4:
        return say("Operation currently not legal.\n", 4);
    case 5:
        return libraryOutcome(codes, keyword, column);
    case 6:
        return say("Invalid controller number.\n", 6);
    case 16:
    case 17:
    case 18:
    case 19:
        return say(kFailed, result);
    case 20:
        myprintf(stdout, "\n%s", "Command failed.");
        return 1;
    case 21:
        myprintf(stdout, "\n%s", "Command completed successfully. No reboot required.");
        return 0;
    case 22:
        myprintf(stdout, "\n%s", "Command completed successfully. Reboot required.");
        return 2;
    case 256:
        if (column == ResultColumn::Provider)
            return 0;
        return say(kFailed, 1);
    default:
        return say(kFailed, 1);
    }
}

void writeEventLogEntry(int result)
{
    const char* word = "failure";
    unsigned int code = 1;
    switch (result) {
    case 0: word = "success"; code = 0; break;
    case 2: word = "aborted"; code = 2; break;
    case 3: word = "invalid arguments"; code = 3; break;
    case 4: word = "unsupported"; code = 4; break;
    case 6: word = "invalid adapter"; code = 6; break;
    case 7:
    case 8:
        return;
    case 20: word = "Command failed."; code = 1; break;
    case 21: word = "Command completed successfully. No reboot required."; code = 0; break;
    case 22: word = "Command completed successfully. Reboot required."; code = 2; break;
    case 5: {
        const unsigned int api = returnCodes.getAPIReturn();
        if (returnCodes.getReturn() == 0 || api == 96 || api == 505 || api == 506 || api == 609) {
            word = "success";
            code = 0;
        } else if (api == 587 || api == 590) {
            code = 0x10;
        }
        break;
    }
    default:
        break;
    }
    char status[kStatusTextMax + 1];
    std::snprintf(status, sizeof status, "Status: %s, ReturnCode: 0x%X", word, code);
    char entry[LOG_ENTRY_ACTION_MAX + 2 + kStatusTextMax + 1];
    if (logEntryAction[0] != '\0')
        std::snprintf(entry, sizeof entry, "%.*s, %s", static_cast<int>(LOG_ENTRY_ACTION_MAX),
                      logEntryAction, status);
    else
        std::snprintf(entry, sizeof entry, "%s", status);
    ucliprintf(UCLI_EVENT_LOG, entry);
}
