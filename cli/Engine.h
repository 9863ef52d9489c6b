#ifndef VYN_CLI_ENGINE_H
#define VYN_CLI_ENGINE_H

#include <cstddef>
#include <cstdio>
#include <string>

class FunctionResolver;
class Ret;

// The state of the command line being run; one set per process, since the
// command provider runs one request at a time.
extern int argc2;
extern char** argv2;
extern int prompt;
extern unsigned char inputWarningFlag;
extern int outputWarningFlag;
extern Ret returnCodes;
extern std::string retString;
extern FILE* CONFIGOUT;
extern FunctionResolver* fnResolver;
extern int UCLI_DEVELOPER_MODE;
extern int UCLI_DEBUG;

constexpr std::size_t CLI_ECHO_SIZE = 1024;
constexpr std::size_t LOG_ENTRY_ACTION_MAX = 103;
extern char cliEchoStr[CLI_ECHO_SIZE];
extern char logEntryAction[LOG_ENTRY_ACTION_MAX + 1];

// The program's real output, which receives the captured text before every
// terminal prompt and at exit; null where a caller collects the text itself
// (the command provider).
extern FILE* capturedOutputSink;

// Text for standard output or standard error is captured in retString; any
// other stream is written directly. Returns the number of characters.
int myprintf(FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));
void discardOutputData();
// Hands the captured text to capturedOutputSink, in order, and empties it.
void emitCapturedOutput();
bool hasAdminAuthority();

// Back to the state at load, before a new command line.
void resetEngineState();

#endif
