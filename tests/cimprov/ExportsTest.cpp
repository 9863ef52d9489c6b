// What a broker sees of the library: the four factories and nothing else, and
// nothing it would have to lend the library in return.

#include "MiniBroker.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const char* const kFactories[] = {
    "vynCLIProvider_Create_InstanceMI",
    "vynCLIProvider_Create_MethodMI",
    "vynFileProvider_Create_InstanceMI",
    "vynFileProvider_Create_MethodMI",
};

bool startsWith(const std::string& s, const char* prefix) {
    return s.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

TEST(ProviderLibrary, ExportsExactlyTheFourFactories) {
    std::string error;
    std::vector<minibroker::DynamicSymbol> symbols =
        minibroker::dynamicSymbols(VYNPROV_LIBRARY, &error);
    ASSERT_FALSE(symbols.empty()) << error;
    std::vector<std::string> exported;
    for (const minibroker::DynamicSymbol& s : symbols) {
        if (!s.defined) continue;
        exported.push_back(s.name);
        EXPECT_TRUE(s.function) << s.name << " is exported but is no function";
        EXPECT_FALSE(s.weak) << s.name << " is exported weak";
    }
    std::sort(exported.begin(), exported.end());
    EXPECT_EQ(exported, std::vector<std::string>(std::begin(kFactories), std::end(kFactories)));

    // Each resolves in a strict load, and no generic factory would take
    // precedence over the named ones.
    void* lib = dlopen(VYNPROV_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    for (const char* name : kFactories) EXPECT_NE(dlsym(lib, name), nullptr) << name;
    EXPECT_EQ(dlsym(lib, "_Generic_Create_InstanceMI"), nullptr);
    EXPECT_EQ(dlsym(lib, "_Generic_Create_MethodMI"), nullptr);
    dlclose(lib);
}

// The C++ runtime and the global allocation operators live inside the
// library: it binds no C++ symbol of the broker's process (a broker built
// with another runtime, or one whose operator new the library must never
// serve), and it needs no shared C++ runtime on the host.
TEST(ProviderLibrary, TakesNoCxxRuntimeFromTheBroker) {
    std::string error;
    std::vector<minibroker::DynamicSymbol> symbols =
        minibroker::dynamicSymbols(VYNPROV_LIBRARY, &error);
    ASSERT_FALSE(symbols.empty()) << error;
    for (const minibroker::DynamicSymbol& s : symbols) {
        if (s.defined || s.weak) continue;
        const bool cxx = startsWith(s.name, "_Z") || startsWith(s.name, "__gxx_") ||
                         (startsWith(s.name, "__cxa_") && s.name != "__cxa_atexit" &&
                          s.name != "__cxa_finalize" && s.name != "__cxa_thread_atexit_impl");
        EXPECT_FALSE(cxx) << "the library takes " << s.name << " from the process";
    }
    std::vector<std::string> needed = minibroker::neededLibraries(VYNPROV_LIBRARY, &error);
    EXPECT_FALSE(needed.empty()) << error;
    for (const std::string& lib : needed) {
        EXPECT_FALSE(startsWith(lib, "libstdc++") || startsWith(lib, "libc++") ||
                     startsWith(lib, "libgcc_s"))
            << "needs " << lib;
    }
}

}  // namespace
