#include "support/HostRootTest.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace vyntest {

void HostRootTest::SetUp()
{
    if (const char* prev = std::getenv("VYN_HOST_ROOT")) {
        hadPreviousRoot_ = true;
        previousRoot_ = prev;
    }
    std::string tmpl = (fs::temp_directory_path() / "vynroot.XXXXXX").string();
    char* made = ::mkdtemp(tmpl.data());
    ASSERT_NE(made, nullptr) << "mkdtemp failed";
    root_ = made;
    makeHostRoot(root_);
    ::setenv("VYN_HOST_ROOT", root_.c_str(), 1);
}

void HostRootTest::makeHostRoot(const std::string& path)
{
    for (const char* dir : {"var/log", "var/lock", "var/lib", "tmp", "dev", "proc", "sys", "etc"})
        fs::create_directories(fs::path(path) / dir);
}

void HostRootTest::TearDown()
{
    if (hadPreviousRoot_)
        ::setenv("VYN_HOST_ROOT", previousRoot_.c_str(), 1);
    else
        ::unsetenv("VYN_HOST_ROOT");
    if (!root_.empty()) {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
}

std::string HostRootTest::hostFile(const std::string& logical) const
{
    return root_ + (logical.empty() || logical[0] != '/' ? "/" : "") + logical;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

bool fileExists(const std::string& path)
{
    std::error_code ec;
    return fs::exists(path, ec);
}

}  // namespace vyntest
