#ifndef VYN_CLI_PASSWORDMASK_H
#define VYN_CLI_PASSWORDMASK_H

#include <string>

// What stands in a logged copy of a command line for a password word.
extern const char kPasswordMask[];

// Whether argv[index] carries a password: ATAPASSWORD's password,
// SETVMCREDENTIAL's ESX password and the word after TASK's "secureerase".
// argv[0] is the program name, argv[1] the command keyword.
bool isPasswordWord(char** argv, int argc, int index);

// `text` with every echo of the command line (its words from the keyword on,
// joined by blanks) replaced by the masked line, for traces of output.
std::string maskPasswordWords(const std::string& text, char** argv, int argc);

#endif
