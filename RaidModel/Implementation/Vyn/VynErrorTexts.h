#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNERRORTEXTS_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNERRORTEXTS_H

// The fixed formats of the family's error records (VynErrorPrintf).
namespace vynerror {

// The failing firmware call and its status.
constexpr const char* API = "*** FSA API Error: %s fsaStatus=%d ***";
// What could not be allocated or made.
constexpr const char* RESOURCE = "*** Resource Error: %s ***";
// Why no firmware handle is at hand.
constexpr const char* BUSY = "*** Busy: %s ***";

}  // namespace vynerror

#endif
