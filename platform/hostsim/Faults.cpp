#include "platform/hostsim/Faults.h"

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
    if (a.trigger == "ioctl")
        a.argument = faultRequestText(parseInteger(a.argument));
    const std::string effect = trim(fault.effect);
    const size_t eq = effect.find('=');
    if (eq == std::string::npos || trim(effect.substr(0, eq)) != "errno")
        return false;
    const std::string value = trim(effect.substr(eq + 1));
    if (!checkValue(KeyType::Integer, value) || parseInteger(value) == 0 || parseInteger(value) > 4095)
        return false;
    a.errnoValue = static_cast<int>(parseInteger(value));
    a.skip = fault.skip;
    a.times = fault.times;
    out = a;
    return true;
}

ArmedFault* matchFault(std::vector<ArmedFault>& faults, const std::string& trigger, const std::string& argument,
                       bool& touched)
{
    for (ArmedFault& a : faults) {
        if (a.trigger != trigger || a.argument != argument)
            continue;
        if (a.times != 0 && a.acted >= a.times)
            continue;
        touched = true;
        if (a.seen++ < a.skip)
            continue;
        ++a.acted;
        return &a;
    }
    return nullptr;
}

}  // namespace vyn::hostsim
