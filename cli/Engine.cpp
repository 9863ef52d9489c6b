#include "cli/Engine.h"

#include "common/Ret.h"
#include "listener/osal/FnLogger.h"

#include <cstdarg>

int argc2 = 0;
char** argv2 = nullptr;
int prompt = 1;
unsigned char inputWarningFlag = 0;
int outputWarningFlag = 0;
Ret returnCodes(-1);
std::string retString;
FILE* CONFIGOUT = stdout;
FunctionResolver* fnResolver = nullptr;
int UCLI_DEVELOPER_MODE = 0;
int UCLI_DEBUG = 0;
char cliEchoStr[CLI_ECHO_SIZE] = "";
char logEntryAction[LOG_ENTRY_ACTION_MAX + 1] = "";
FILE* capturedOutputSink = nullptr;

int myprintf(FILE* stream, const char* format, ...)
{
    FnLogger trace("fprintf");
    if (stream == nullptr || format == nullptr)
        return 0;
    va_list args;
    va_start(args, format);
    int length;
    if (stream == stdout || stream == stderr) {
        // Formatted to its exact length: one report may run to megabytes.
        va_list measure;
        va_copy(measure, args);
        length = std::vsnprintf(nullptr, 0, format, measure);
        va_end(measure);
        if (length > 0) {
            const std::size_t start = retString.size();
            retString.resize(start + static_cast<std::size_t>(length) + 1);
            std::vsnprintf(&retString[start], static_cast<std::size_t>(length) + 1, format, args);
            retString.resize(start + static_cast<std::size_t>(length));
        }
    } else {
        length = std::vfprintf(stream, format, args);
    }
    va_end(args);
    return length;
}

void discardOutputData()
{
    retString.clear();
}

void emitCapturedOutput()
{
    if (capturedOutputSink == nullptr)
        return;
    if (!retString.empty())
        std::fwrite(retString.data(), 1, retString.size(), capturedOutputSink);
    std::fflush(capturedOutputSink);
    retString.clear();
}

bool hasAdminAuthority()
{
    return true;
}

void resetEngineState()
{
    argc2 = 0;
    argv2 = nullptr;
    prompt = 1;
    inputWarningFlag = 0;
    outputWarningFlag = 0;
    returnCodes = Ret(-1);
    retString.clear();
    CONFIGOUT = stdout;
    UCLI_DEVELOPER_MODE = 0;
    UCLI_DEBUG = 0;
    cliEchoStr[0] = '\0';
    logEntryAction[0] = '\0';
}
