#ifndef VYN_CLI_COMMANDS_COMMANDHELPERS_H
#define VYN_CLI_COMMANDS_COMMANDHELPERS_H

#include <vector>

#include "RaidModel/Interface/FilterCollection.h"

class Adapter;
class HardDrive;
class LogicalDrive;
class RaidObject;
class StorLibPlugin;

// Lookups and small outputs that every command shares.

// The controller at the 0-based position of the command line; null when the
// library, its tree or the controller is missing.
Adapter* findAdapter(StorLibPlugin* lib, int adapterNumber);
// Logical drive by its id, below the controller.
LogicalDrive* findLogicalDrive(Adapter* adapter, unsigned long id);
// Hard drive by channel and device id, below the controller.
HardDrive* findHardDrive(Adapter* adapter, unsigned long channel, unsigned long device);

// The objects of class `className` below `root`, root included, level by
// level; with `sort`, in the order users expect for that class.
template <typename T> std::vector<T*> collect(RaidObject* root, const char* className, bool sort)
{
    std::vector<T*> found;
    if (root == nullptr)
        return found;
    FilterCollection objects(root);
    objects.apply(className, sort);
    found.reserve(static_cast<std::size_t>(objects.size()));
    for (int i = 0; i < objects.size(); ++i)
        found.push_back(static_cast<T*>(objects.elementAt(i)));
    return found;
}

// The rule under the first lines of a help text.
void printHelpRule();
// "%s: EXECUTING\n" and "%s: arguments valid\n" on standard error in debug
// mode.
void debugExecuting(const char* keyword);
void debugArgumentsValid(const char* keyword);

// The 0-based controller of a 1-based command-line word; false for a word
// that is not a number.
bool readControllerWord(const char* word, int& adapterNumber);

#endif
