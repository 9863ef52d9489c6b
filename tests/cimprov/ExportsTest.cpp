// What a broker sees of the library: the four factories and nothing else.

#include "MiniBroker.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>

namespace {

TEST(ProviderLibrary, ExportsExactlyTheFourFactories) {
    std::string error;
    std::vector<std::string> symbols = minibroker::exportedSymbols(VYNPROV_LIBRARY, &error);
    std::sort(symbols.begin(), symbols.end());
    const std::vector<std::string> expected = {
        "vynCLIProvider_Create_InstanceMI",
        "vynCLIProvider_Create_MethodMI",
        "vynFileProvider_Create_InstanceMI",
        "vynFileProvider_Create_MethodMI",
    };
    EXPECT_EQ(symbols, expected) << error;

    // Nothing is left for a broker to resolve, and no generic factory would
    // take precedence over the named ones.
    void* lib = dlopen(VYNPROV_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    EXPECT_EQ(dlsym(lib, "_Generic_Create_InstanceMI"), nullptr);
    EXPECT_EQ(dlsym(lib, "_Generic_Create_MethodMI"), nullptr);
    dlclose(lib);
}

}  // namespace
