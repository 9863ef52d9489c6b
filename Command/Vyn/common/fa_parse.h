#ifndef VYN_COMMAND_VYN_COMMON_FA_PARSE_H
#define VYN_COMMAND_VYN_COMMON_FA_PARSE_H

#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_types.h"

#include <cstdint>
#include <cwchar>

// Longest adapter name the parser takes, in characters.
constexpr uint32_t FSA_MAX_ADAPTER_NAME_CHARS = 1034;

// Splits an adapter name ("ulb0", "\\server\ulb0", "\\\third\\server\ulb0")
// into its adapter, server and third parts, upper-cased. Each part goes into
// its buffer with at most the buffer's length in characters, zero-padded when
// shorter; a part that fills its buffer arrives without a terminator, so
// readers take the parts bounded by their buffers. 1, 233 when the name is too
// long, 8 when it does not fit the grammar; the buffers are written only on
// success.
FSA_STATUS FsaParseAdapterName(const wchar_t* name, wchar_t* adapter, uint32_t adapterLength, wchar_t* server,
                               uint32_t serverLength, wchar_t* third, uint32_t thirdLength);

#endif
