#ifndef VYN_COMMAND_VYN_COMMON_FA_DYNPROPS_H
#define VYN_COMMAND_VYN_COMMON_FA_DYNPROPS_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

class FSAAPI_CONTEXT;

// The 480-byte dynamic adapter properties record; fields at their offsets.
struct VYNIO_DYN_ADAP_PROPS_INTERFACE_TYPE {
    uint8_t bytes[480];
};
static_assert(sizeof(VYNIO_DYN_ADAP_PROPS_INTERFACE_TYPE) == 480, "properties record is 480 bytes");

enum : FSA_STATUS {
    FSA_STS_PROPERTY_REJECTED = 642,
    FSA_STS_ORVEXA_WRITE_REFUSED = 643,
    FSA_STS_INVALID_ARGUMENT = 92,
};

// Sends one record: 31 without support; one repeat of a failed send; 642 for
// a rejected change, 72 (winning) for a reply status other than 0.
FSA_STATUS SendSetDynamicAdapterPropertiesFib(FSAAPI_CONTEXT* ctx, VYNIO_DYN_ADAP_PROPS_INTERFACE_TYPE* record);
FSA_STATUS SendSetDynPropPMUTCToLocalTimeDiff(FSAAPI_CONTEXT* ctx, int32_t minutes);
FSA_STATUS SendSetDynPropAdapterTime(FSAAPI_CONTEXT* ctx, uint32_t seconds);
FSA_STATUS SendSetDynPropPMTimeQualifier(FSAAPI_CONTEXT* ctx, uint32_t utc, uint32_t local);
// Brings the controller's clock or time difference in step with the host.
FSA_STATUS FsaSyncTimeStructs(FSAAPI_CONTEXT* ctx);

extern "C" {
FSA_STATUS FsaSetDefaultLDTaskPriority(void* handle, uint32_t priority, uint32_t flag);
FSA_STATUS FsaSetPerformanceMode(void* handle, uint32_t mode);
FSA_STATUS FsaSetControllerStats(void* handle, uint32_t enable);
FSA_STATUS FsaSetPMStayAwakePeriod(void* handle, uint32_t start, uint32_t stop, uint32_t enable, uint8_t days);
FSA_STATUS FsaSetPMSpinupLimits(void* handle, uint32_t internal, uint32_t external);
FSA_STATUS FsaSetPMUTCToLocalTimeDiff(void* handle, int32_t minutes);
FSA_STATUS FsaSetSataNCQ(void* handle, int32_t enable);
FSA_STATUS FsaSetOrvexaFlushAndFetchRate(void* handle, uint32_t rate);
FSA_STATUS FsaSetOrvexaRWFactor(void* handle, uint32_t readFactor, uint32_t writeFactor);
FSA_STATUS FsaSetDirtyPageThresholdValue(void* handle, uint32_t threshold);
FSA_STATUS FsaSetOrvexaWrite(void* handle, uint32_t enable);
}

#endif
