#include "cli/ErrorMessages.h"

#include "cli/CommandLog.h"
#include "common/ApiErrorTable.h"
#include "common/Ret.h"

#include <cstdio>
#include <iterator>
#include <string>

namespace {

constexpr const char kOrvexaAddDirty[] =
    "Addition of SSD to Orvexa pool is not allowed because Orvexa is having dirty data."
    " Please disable the Orvexa write-back caching on all logical devices and try later.\n\n";
constexpr const char kOrvexaRemoveDirty[] =
    "Removal of SSD from Orvexa pool is not allowed because Orvexa is having dirty data."
    " Please disable the Orvexa write-back caching on all logical devices and try later.\n\n";

// Statuses the shared table knows but the command engine reports only by
// number, and the two pool statuses that only the command engine names.
constexpr ApiErrorRow kOverlay[] = {
    {26, nullptr},  {52, nullptr},  {185, nullptr}, {283, nullptr}, {297, nullptr},
    {304, nullptr}, {311, nullptr}, {460, nullptr}, {500, nullptr}, {501, nullptr},
    {521, nullptr}, {536, nullptr}, {537, nullptr}, {538, nullptr}, {539, nullptr},
    {541, nullptr}, {544, nullptr}, {550, nullptr}, {572, nullptr}, {580, nullptr},
    {637, kOrvexaAddDirty},
    {638, kOrvexaRemoveDirty},
};

constexpr bool ascending(const ApiErrorRow* rows, std::size_t count)
{
    for (std::size_t i = 1; i < count; ++i)
        if (rows[i - 1].key >= rows[i].key)
            return false;
    return true;
}
static_assert(ascending(kOverlay, std::size(kOverlay)), "the lookup relies on ascending keys");
static_assert(sizeof kOrvexaRemoveDirty <= CLI_ERROR_MESSAGE_SIZE, "pool texts fit the buffer");

const char* unsupportedWords(int code)
{
    switch (code) {
    case -3: return "resource failure";
    case -6: return "busy failure";
    case -8: return "parameter limit failure";
    case -9: return "general failure";
    case -10: return "more info";
    case -11: return "uninitialized";
    case -12: return "object not found";
    case -13: return "exception thrown";
    case -14: return "output overflow";
    case -15: return "debug overflow";
    case -16: return "invalid command/buffer";
    case -100: return "parse error";
    default: return "unknown failure";
    }
}

}  // namespace

const ApiErrorTable& cliApiErrorTable()
{
    static const ApiErrorTable table(kOverlay, std::size(kOverlay), &apiErrorTable());
    return table;
}

char* setAPIErrorMessage(int status, char* out)
{
    return apiErrorMessage(cliApiErrorTable(), static_cast<unsigned int>(status), out,
                           CLI_ERROR_MESSAGE_SIZE);
}

char* setIOCTLErrorMessage(int status, char* out)
{
    if (status == 0)
        std::snprintf(out, CLI_ERROR_MESSAGE_SIZE, " ");
    else
        std::snprintf(out, CLI_ERROR_MESSAGE_SIZE, "IOCTL failure occurred (0x%x)",
                      static_cast<unsigned int>(status));
    return out;
}

char* setParameterCheckErrorMessage(int status, char* out)
{
    if (status == 30)
        std::snprintf(out, CLI_ERROR_MESSAGE_SIZE,
                      "Specified driver(s) do not match any currently installed device.");
    else if (status == 31)
        std::snprintf(out, CLI_ERROR_MESSAGE_SIZE, "Specified driver file does not exist.");
    else
        std::snprintf(out, CLI_ERROR_MESSAGE_SIZE, "Parameter Check failure occured (0x%x)",
                      static_cast<unsigned int>(status));
    return out;
}

char* getErrorMessage(const Ret& ret, char* message, const char* context)
{
    const int code = ret.getReturn();
    switch (code) {
    case -1:
        std::snprintf(message, CLI_ERROR_MESSAGE_SIZE, "The requested action is not supported");
        break;
    case -2:
        setParameterCheckErrorMessage(static_cast<int>(ret.getAPIReturn()), message);
        break;
    case -4:
        setIOCTLErrorMessage(static_cast<int>(ret.getIOCTLReturn()), message);
        break;
    case -5:
        setAPIErrorMessage(static_cast<int>(ret.getAPIReturn()), message);
        break;
    case -7:
        std::snprintf(message, CLI_ERROR_MESSAGE_SIZE, "The requested action has timed out");
        break;
    default:
        std::snprintf(message, CLI_ERROR_MESSAGE_SIZE, "Unsupported Error (%s)",
                      unsupportedWords(code));
        break;
    }
    const std::string line =
        std::string("VYNCONF ") + (context != nullptr ? context : "") + " ERROR: " + message;
    ucliprintf(UCLI_ERROR_LOG, line.c_str());
    logRet(ret);
    return message;
}
