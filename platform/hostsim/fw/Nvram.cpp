#include "platform/hostsim/fw/Nvram.h"

namespace vyn::hostsim {

void registerNvramHandlers(Dispatcher&) {}

}  // namespace vyn::hostsim
