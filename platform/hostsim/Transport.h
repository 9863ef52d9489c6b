#ifndef VYN_PLATFORM_HOSTSIM_TRANSPORT_H
#define VYN_PLATFORM_HOSTSIM_TRANSPORT_H

namespace vyn::hostsim {

// Driver requests of the FIB transport, the pass-through, the event channel
// and the host view of containers.
constexpr unsigned long kSendLargeFib = 0x42168;
constexpr unsigned long kSendRawSrb = 0x4204C;
constexpr unsigned long kOpenAdapterFib = 0x420D0;
constexpr unsigned long kNextAdapterFib = 0x420D4;
constexpr unsigned long kCloseAdapterFib = 0x420D8;
constexpr unsigned long kQueryDisk = 0x173;
constexpr unsigned long kDeleteDisk = 0x163;
constexpr unsigned long kSgIoRequest = 0x2285;
constexpr unsigned long kSgGetScsiId = 0x2276;
constexpr unsigned long kScsiGetIdLun = 0x5382;
constexpr unsigned long kBlkRrPart = 0x125F;

constexpr unsigned kSgMajor = 21;
constexpr unsigned kSdMajor = 8;

// Requests on an adapter node that the transport answers.
inline bool transportRequest(unsigned long request)
{
    return request == kSendLargeFib || request == kSendRawSrb || request == kOpenAdapterFib ||
           request == kNextAdapterFib || request == kQueryDisk || request == kDeleteDisk;
}

}  // namespace vyn::hostsim

#endif
