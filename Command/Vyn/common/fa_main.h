#ifndef VYN_COMMAND_VYN_COMMON_FA_MAIN_H
#define VYN_COMMAND_VYN_COMMON_FA_MAIN_H

#include "Command/Vyn/common/fa_types.h"

#include <cwchar>

class ApiErrorTable;

// The firmware interface's status texts: the shared API texts in the older
// vocabulary of the controller software ("container", "chunk"), with the rows
// that this interface words its own way.
const ApiErrorTable& fsaStatusTextTable();

// The text every status without a row gets (with its trailing blank).
extern const char kFsaNoStatusText[];

// The caller's buffer holds the longest text (under 300 characters). 1 when
// the status has a text, else 0 with the "could not translate" text.
FSA_STATUS FsaGetErrorTextA(FSA_STATUS status, char* text);
FSA_STATUS FsaGetErrorTextW(FSA_STATUS status, wchar_t* text);

#endif
