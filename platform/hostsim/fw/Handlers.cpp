#include "platform/hostsim/fw/ContainerActivity.h"
#include "platform/hostsim/fw/ContainerTasks.h"
#include "platform/hostsim/fw/Dispatcher.h"
#include "platform/hostsim/fw/DriveMetadata.h"
#include "platform/hostsim/fw/DriveRequests.h"
#include "platform/hostsim/fw/Flash.h"
#include "platform/hostsim/fw/Nvram.h"
#include "platform/hostsim/fw/Partitions.h"
#include "platform/hostsim/fw/SecondaryContainers.h"
#include "platform/hostsim/fw/Spares.h"
#include "platform/hostsim/fw/Statistics.h"

namespace vyn::hostsim {

// The one list of handler areas; each later area adds its line here.
void registerAllHandlers(Dispatcher& dispatcher)
{
    registerIdentityHandlers(dispatcher);
    registerTransportHandlers(dispatcher);
    registerContainerTransportHandlers(dispatcher);
    registerContainerInfoHandlers(dispatcher);
    registerAdapterOpenHandlers(dispatcher);
    registerControllerWideHandlers(dispatcher);
    registerLogHandlers(dispatcher);
    registerContainerHandlers(dispatcher);
    registerControllerObjectHandlers(dispatcher);
    registerEnclosureHandlers(dispatcher);
    registerPartitionHandlers(dispatcher);
    registerDriveMetadataHandlers(dispatcher);
    registerContainerOpHandlers(dispatcher);
    registerContainerTaskHandlers(dispatcher);
    registerSpareHandlers(dispatcher);
    registerTaskHandlers(dispatcher);
    registerContainerSplitHandlers(dispatcher);
    registerCreationHandlers(dispatcher);
    registerContainerActivityHandlers(dispatcher);
    registerSecondaryContainerHandlers(dispatcher);
    registerDriveRequestHandlers(dispatcher);
    registerNvramHandlers(dispatcher);
    registerFlashHandlers(dispatcher);
    registerStatisticsHandlers(dispatcher);
}

}  // namespace vyn::hostsim
