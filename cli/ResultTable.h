#ifndef VYN_CLI_RESULTTABLE_H
#define VYN_CLI_RESULTTABLE_H

class Ret;

// Who applies the table: the command-line program (its exit code) or the
// command provider (the value of "executeCommand").
enum class ResultColumn { Program, Provider };

// Prints the final message for a command result through myprintf and returns
// the program's exit code or the provider's value. `codes` is read for
// result 5; `keyword` names the command in the error log.
int applyResultTable(int result, const Ret& codes, const char* keyword, ResultColumn column);

// The event-log entry for a command result, from returnCodes and
// logEntryAction.
void writeEventLogEntry(int result);

#endif
