// The controller's SAS connectors from its connector map.
#include "RaidModel/Implementation/Vyn/VynAdapter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "Command/Vyn/common/fa_bytes.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynNew.h"
#include "RaidModel/Implementation/Vyn/VynChannels.h"
#include "common/Ret.h"
#include "common/StorDebug.h"

namespace {

constexpr uint32_t kOpt2ConnectorMap = 0x100;
constexpr size_t kConnectorCount = 4;
constexpr size_t kLaneCount = 5;
constexpr size_t kFirstLane = 8;
constexpr size_t kLaneBytes = 12;
constexpr size_t kConnectorBytes = 16;
constexpr size_t kConnectorKey = 4;

}  // namespace

void VynAdapter::initConnectionMap(Ret& ret)
{
    if ((faGetLe32(fsaInfo.bytes + GI_SUPPORTED_OPTIONS2) & kOpt2ConnectorMap) == 0)
        return;
    FsaExports& fsa = fsaExports();
    unsigned int size = 0;
    FSA_STATUS status = fsa.FsaGetConnectorMapSize(adapterHandle, &size);
    if (status != FSA_STS_SUCCESS) {
        vynerror::apiError(ret, "FsaGetConnectorMapSize()", status);
        return;
    }
    if (size == 0) {
        VynTracePrintf("VynAdapter::initConnectionMap() - connector map size:%d", 0);
        return;
    }
    auto* map = static_cast<uint8_t*>(std::malloc(size));
    if (map == nullptr) {
        vynerror::resourceError(ret, "malloc(connMapSize)");
        return;
    }
    status = fsa.FsaGetConnectorMap(adapterHandle, map);
    if (status != FSA_STS_SUCCESS) {
        vynerror::apiError(ret, "FsaGetConnectorMap()", status);
        std::free(map);
        return;
    }
    std::free(connectorMap);
    connectorMap = map;
    connectorMapSize = size;

    // Counts that reach beyond the map are cut to the entries it holds.
    const size_t room = size > kFirstLane ? size - kFirstLane : 0;
    size_t lanes = size > kLaneCount ? map[kLaneCount] : 0;
    if (lanes * kLaneBytes > room)
        lanes = room / kLaneBytes;
    const size_t connectorsAt = kFirstLane + lanes * kLaneBytes;
    size_t connectors = size > kConnectorCount ? map[kConnectorCount] : 0;
    if (connectorsAt >= size)
        connectors = 0;
    else if (connectorsAt + connectors * kConnectorBytes > size)
        connectors = (size - connectorsAt) / kConnectorBytes;
    for (size_t c = 0; c < connectors; ++c) {
        fsa_connector_info_struct connector;
        std::memcpy(connector.bytes, map + connectorsAt + c * kConnectorBytes, kConnectorBytes);
        for (size_t l = 0; l < lanes; ++l) {
            const size_t at = kFirstLane + l * kLaneBytes;
            if (connector.bytes[kConnectorKey] != map[at])
                continue;
            // A lane's SAS address runs past its 12 bytes; never past the map.
            fsa_dev_info_struct lane;
            std::memset(&lane, 0, sizeof lane);
            std::memcpy(lane.bytes, map + at, std::min<size_t>(sizeof lane.bytes, size - at));
            VynSASConnector* object = newOrNull<VynSASConnector>(&lane, &connector);
            if (object == nullptr) {
                vynerror::resourceError(ret, "new VynSASConnector()");
                continue;
            }
            addChild(object);
        }
    }
}
