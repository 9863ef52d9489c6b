#ifndef VYN_CLI_CLISLEEP_H
#define VYN_CLI_CLISLEEP_H

// The one pause of the commands (the SYNC wait of CREATE between two polls).
// Tests put their own in place so that no test waits.
using CliSleepFunction = void (*)(unsigned seconds);

void cliSleep(unsigned seconds);
// Null brings back the real sleep. Returns the one that was in place.
CliSleepFunction setCliSleep(CliSleepFunction sleep);

#endif
