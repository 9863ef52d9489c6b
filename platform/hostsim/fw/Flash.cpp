#include "platform/hostsim/fw/Flash.h"

namespace vyn::hostsim {

void registerFlashHandlers(Dispatcher&) {}

}  // namespace vyn::hostsim
