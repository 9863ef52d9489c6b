// The library's only exported symbols: the broker's entry points for the two
// providers. Each pair shares one provider object, made by whichever factory
// the broker calls first. The command provider's trace lines land in its
// captured output, the file provider's on the real standard error.

#include "cimprov/CLIProvider.h"
#include "cimprov/FileProvider.h"

#include <cstdio>
#include <typeinfo>

namespace __gnu_cxx {
void __freeres() noexcept;
}

namespace {

// The C++ runtime linked into this library keeps its emergency exception
// pool for as long as the library is mapped; without handing it back, every
// unload by the broker would lose it.
__attribute__((destructor)) void releaseRuntimePool() { __gnu_cxx::__freeres(); }

CmpiProviderRecords cliRecords("vynCLIProvider");
CmpiProviderRecords fileRecords("vynFileProvider");

struct TraceLine {
    char text[128];
};

TraceLine methodTrace(const CMPIBroker* mb) {
    TraceLine line;
    std::snprintf(line.text, sizeof line.text, "--- _Create_MethodMI() broker: %p\n",
                  static_cast<const void*>(mb));
    return line;
}

TraceLine instanceTrace() {
    TraceLine line;
    std::snprintf(line.text, sizeof line.text, "--- _Create_InstanceMI() %s\n",
                  typeid(CmpiBaseMI*).name());
    return line;
}

}  // namespace

VYN_CMPI_FACTORY CMPIInstanceMI* vynCLIProvider_Create_InstanceMI(const CMPIBroker* mb,
                                                                  const CMPIContext* ctx,
                                                                  CMPIStatus* rc) {
    CMPIInstanceMI* mi = cliRecords.createInstanceMI<CLIProvider>(mb, ctx, rc);
    CLIProvider::factoryTrace(instanceTrace().text);
    return mi;
}

VYN_CMPI_FACTORY CMPIMethodMI* vynCLIProvider_Create_MethodMI(const CMPIBroker* mb,
                                                              const CMPIContext* ctx,
                                                              CMPIStatus* rc) {
    CLIProvider::factoryTrace(methodTrace(mb).text);
    return cliRecords.createMethodMI<CLIProvider>(mb, ctx, rc);
}

VYN_CMPI_FACTORY CMPIInstanceMI* vynFileProvider_Create_InstanceMI(const CMPIBroker* mb,
                                                                   const CMPIContext* ctx,
                                                                   CMPIStatus* rc) {
    CMPIInstanceMI* mi = fileRecords.createInstanceMI<FileProvider>(mb, ctx, rc);
    std::fputs(instanceTrace().text, stderr);
    return mi;
}

VYN_CMPI_FACTORY CMPIMethodMI* vynFileProvider_Create_MethodMI(const CMPIBroker* mb,
                                                               const CMPIContext* ctx,
                                                               CMPIStatus* rc) {
    std::fputs(methodTrace(mb).text, stderr);
    return fileRecords.createMethodMI<FileProvider>(mb, ctx, rc);
}
