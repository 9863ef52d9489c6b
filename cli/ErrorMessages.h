#ifndef VYN_CLI_ERRORMESSAGES_H
#define VYN_CLI_ERRORMESSAGES_H

#include <cstddef>

class ApiErrorTable;
class Ret;

// Bytes every message buffer of these functions holds: the longest text and
// its NUL.
constexpr std::size_t CLI_ERROR_MESSAGE_SIZE = 277;

// The command engine's texts of the firmware API statuses: the shared table
// with the engine's own differences laid over it.
const ApiErrorTable& cliApiErrorTable();

// Writes the text for `ret` into `message`, logs it with `context` in the
// error log together with the record's fields, and returns `message`.
char* getErrorMessage(const Ret& ret, char* message, const char* context);
char* setAPIErrorMessage(int status, char* out);
char* setIOCTLErrorMessage(int status, char* out);
char* setParameterCheckErrorMessage(int status, char* out);

#endif
