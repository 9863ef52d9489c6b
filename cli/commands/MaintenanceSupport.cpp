#include "cli/commands/MaintenanceSupport.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/PhysicalDevice.h"
#include "RaidModel/Interface/System.h"
#include "cli/Engine.h"
#include "common/Addr.h"
#include "common/Buffer.h"

#include <cstdio>
#include <limits>

namespace {

RaidObject* findObject(StorLibPlugin* lib, const Addr& addr)
{
    if (lib == nullptr)
        return nullptr;
    System* system = lib->getSystem();
    return system != nullptr ? system->getObject(addr) : nullptr;
}

}  // namespace

PhysicalDevice* findDevice(StorLibPlugin* lib, int adapterNumber, unsigned long channel, unsigned long device)
{
    if (adapterNumber < 0 || channel >= Addr::UNSET_ID || device >= Addr::UNSET_ID)
        return nullptr;
    Addr addr(static_cast<std::uint32_t>(adapterNumber));
    addr.setChannelID(static_cast<std::uint32_t>(channel));
    addr.setDeviceID(static_cast<std::uint32_t>(device));
    RaidObject* found = findObject(lib, addr);
    return found != nullptr && found->isInstanceOf("PhysicalDevice") ? static_cast<PhysicalDevice*>(found)
                                                                     : nullptr;
}

bool readDecimalU64(const char* word, std::uint64_t& value)
{
    if (word == nullptr || *word == '\0')
        return false;
    constexpr std::uint64_t top = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t result = 0;
    for (const char* c = word; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9')
            return false;
        const std::uint64_t digit = static_cast<std::uint64_t>(*c - '0');
        result = result > (top - digit) / 10 ? top : result * 10 + digit;
    }
    value = result;
    return true;
}

void printBufferDump(const Buffer& buffer)
{
    const unsigned long size = buffer.Size();
    const unsigned char* data = buffer.CPtr();
    unsigned long offset = 0;
    do {
        char line[32];
        int at = std::snprintf(line, sizeof line, "%04lx: ", offset);
        for (int j = 3; j >= 0; --j) {
            const unsigned long pos = offset + static_cast<unsigned long>(j);
            if (pos < size)
                at += std::snprintf(line + at, sizeof line - static_cast<std::size_t>(at), "%02x", data[pos]);
            else
                at += std::snprintf(line + at, sizeof line - static_cast<std::size_t>(at), "--");
        }
        at += std::snprintf(line + at, sizeof line - static_cast<std::size_t>(at), " : ");
        for (int j = 3; j >= 0; --j) {
            const unsigned long pos = offset + static_cast<unsigned long>(j);
            const bool printable = pos < size && data[pos] >= 32 && data[pos] <= 126;
            line[at++] = printable ? static_cast<char>(data[pos]) : ' ';
        }
        line[at] = '\0';
        myprintf(stdout, "%s\n", line);
        offset += 4;
    } while (offset < size);
}
