#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNREPLAY_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNREPLAY_H

#include <cstdio>
#include <string>
#include <vector>

class Adapter;
class LogicalDrive;
class System;

// What the configuration replay shares between its steps while it runs. A
// replay resets all of it when it starts; one replay runs at a time.
namespace vynreplay {

// The stamp of the log line being written.
extern char timeEntry[27];
// The replay's force option: 0 none, 1 every failure is passed over, 2 the
// logical drives' failures and slot misses only.
extern int force;
// A failure was passed over under force.
extern bool retFlag;
// The last controller compared had its NCQ state changed.
extern bool ncqFlag;
// The safety check wrote its own reason to the log.
extern bool retFlagSafeConfig;
// The legs of the RAID volume being replayed.
extern std::vector<LogicalDrive*> logicalNumVector;
extern std::string name;

// The controller of `system` with that id; after a rebuild the root holds
// several, and the last one added is the live one.
Adapter* findAdapter(const System& system, unsigned long id);

// Line forms of the log. Each also goes to the error log.
void settingLine(FILE* log, unsigned long controller, const char* text, bool blankBeforeNewline);
void objectLine(FILE* log, unsigned long controller, const char* word, unsigned long id, const char* text,
                bool blankBeforeNewline);
void legLine(FILE* log, unsigned long controller, unsigned long volume, unsigned long leg, const char* text);
// A line of its own form: `format` takes the stamp first.
void freeLine(FILE* log, const char* errorText, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

}  // namespace vynreplay

#endif
