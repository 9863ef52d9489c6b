#include "Command/Vyn/common/fa_enum.h"

// The translation of the two replies into the record belongs to the exported
// enumeration; until it is built, the OS-independent fields stay zero as the
// caller cleared them.
void PopulateOSIndependentPartAdapterEnum(_tagFSA_ADAPTER_ENUM_INFO* /*info*/, _ADAPTER_INFO_STRUCT* /*adapterInfo*/,
                                          _ADAPTER_SUPPLEMENT_INFO_STRUCT* /*supplement*/)
{
}
