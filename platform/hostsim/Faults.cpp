#include "platform/hostsim/Faults.h"

#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/desc/Keys.h"

#include <cstdio>

namespace vyn::hostsim {

namespace {

std::string trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return std::string();
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

}  // namespace

std::string faultRequestText(unsigned long request)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%lx", request);
    return buf;
}

bool armFault(const Fault& fault, unsigned number, ArmedFault& out)
{
    const std::string on = trim(fault.on);
    if (!checkValue(KeyType::Trigger, on))
        return false;
    const size_t space = on.find(' ');
    ArmedFault a;
    a.number = number;
    a.trigger = on.substr(0, space);
    a.argument = trim(on.substr(space + 1));
    if (a.trigger == "ioctl" || a.trigger == "cdb")
        a.argument = faultRequestText(parseInteger(a.argument));
    else if (a.trigger == "fib" || a.trigger == "aif" || a.trigger == "ct" || a.trigger == "class3" ||
             a.trigger == "class21" || a.trigger == "class12" || a.trigger == "partition")
        a.argument = std::to_string(parseInteger(a.argument));
    const std::string effect = trim(fault.effect);
    const size_t eq = effect.find('=');
    if (eq == std::string::npos)
        return false;
    a.effect = trim(effect.substr(0, eq));
    const std::string value = trim(effect.substr(eq + 1));
    if (a.effect == "errno") {
        if (!checkValue(KeyType::Integer, value) || parseInteger(value) == 0 || parseInteger(value) > 4095)
            return false;
        a.errnoValue = static_cast<int>(parseInteger(value));
    } else if (a.effect == "status" || a.effect == "truncate" || a.effect == "transport" || a.effect == "echo" ||
               a.effect == "total") {
        if (!checkValue(KeyType::Integer, value))
            return false;
        a.value = parseInteger(value);
    } else if (a.effect == "sense") {
        unsigned key = 0, asc = 0, ascq = 0;
        char tail = 0;
        if (std::sscanf(value.c_str(), "%i/%i/%i%c", &key, &asc, &ascq, &tail) != 3 || key > 15 || asc > 255 ||
            ascq > 255)
            return false;
        a.senseKey = static_cast<uint8_t>(key);
        a.asc = static_cast<uint8_t>(asc);
        a.ascq = static_cast<uint8_t>(ascq);
    } else if (a.effect == "poke") {
        unsigned offset = 0, width = 0;
        char rest[32] = {};
        if (std::sscanf(value.c_str(), "%i:%u=%31s", &offset, &width, rest) != 3 ||
            (width != 1 && width != 2 && width != 4) || !checkValue(KeyType::Integer, rest) || offset > 4096)
            return false;
        a.pokeOffset = offset;
        a.pokeWidth = width;
        a.value = parseInteger(rest);
    } else {
        return false;
    }
    // A system call can only fail, or (ioctl) have one field of its record
    // overwritten; a partition fault only shapes fields of its record.
    if ((a.trigger == "open" && a.effect != "errno") ||
        (a.trigger == "ioctl" && a.effect != "errno" && a.effect != "poke") ||
        (a.trigger == "partition" && a.effect != "poke"))
        return false;
    a.skip = fault.skip;
    a.times = fault.times;
    out = a;
    return true;
}

std::string faultEffectText(const ArmedFault& fault)
{
    char buf[64];
    if (fault.effect == "sense")
        std::snprintf(buf, sizeof buf, "sense = %u/0x%x/0x%x", fault.senseKey, fault.asc, fault.ascq);
    else if (fault.effect == "poke")
        std::snprintf(buf, sizeof buf, "poke = %u:%u=%u", fault.pokeOffset, fault.pokeWidth, fault.value);
    else if (fault.effect == "errno")
        std::snprintf(buf, sizeof buf, "errno = %d", fault.errnoValue);
    else
        std::snprintf(buf, sizeof buf, "%s = %u", fault.effect.c_str(), fault.value);
    return buf;
}

namespace {

// Whether a fault matching the call acts on it now; its counters advance.
bool acts(ArmedFault& a, bool& touched)
{
    if (a.times != 0 && a.acted >= a.times)
        return false;
    touched = true;
    if (a.seen++ < a.skip)
        return false;
    ++a.acted;
    return true;
}

}  // namespace

ArmedFault* matchFault(std::vector<ArmedFault>& faults, const std::string& trigger, const std::string& argument,
                       bool& touched)
{
    for (ArmedFault& a : faults)
        if (a.trigger == trigger && a.argument == argument && acts(a, touched))
            return &a;
    return nullptr;
}

std::vector<ArmedFault*> matchFaults(std::vector<ArmedFault>& faults, const std::string& trigger,
                                     const std::string& argument, bool& touched)
{
    std::vector<ArmedFault*> acting;
    for (ArmedFault& a : faults)
        if (a.trigger == trigger && a.argument == argument && acts(a, touched))
            acting.push_back(&a);
    return acting;
}

void pokeField(uint8_t* base, size_t room, const ArmedFault& f)
{
    if (f.pokeWidth > room || f.pokeOffset > room - f.pokeWidth)
        return;
    uint8_t* p = base + f.pokeOffset;
    if (f.pokeWidth == 1)
        *p = static_cast<uint8_t>(f.value);
    else if (f.pokeWidth == 2)
        putLe16(p, static_cast<uint16_t>(f.value));
    else
        putLe32(p, f.value);
}

}  // namespace vyn::hostsim
