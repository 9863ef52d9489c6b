// What the host reads from the disk of a container (/dev/sdX): the raw image
// a description gives for it, zeros beyond the image, nothing beyond the
// container's size. The library's partition probe reads the first sectors.
#include "platform/hostsim/fw/DiskImages.h"

#include "platform/hostsim/fw/Configuration.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

namespace vyn::hostsim {

std::string containerImage(const ControllerState& c, unsigned container)
{
    auto it = c.objects.find("ld" + std::to_string(container));
    if (it == c.objects.end())
        return std::string();
    std::vector<std::string> words;
    std::map<std::string, std::string> pairs;
    splitShorthand(it->second, &words, &pairs);
    auto image = pairs.find("image");
    return image == pairs.end() ? std::string() : image->second;
}

std::string imageFile(const std::string& image, const std::string& source, const std::string& root)
{
    if (image.empty() || image.front() == '/')
        return image;
    std::error_code ec;
    if (std::filesystem::is_regular_file(source, ec))
        return (std::filesystem::path(source).parent_path() / image).string();
    return (std::filesystem::path(root) / image).string();
}

uint64_t containerDiskBytes(const ControllerState& c, unsigned container)
{
    for (const LogDevView& l : configurationOf(c).logDevs)
        if (l.number == container && l.parent == 0xFFFFFFFFu)
            return l.blocks * 512;
    return 0;
}

size_t readContainerDisk(const std::string& file, uint64_t diskBytes, uint64_t offset, uint8_t* out, size_t length)
{
    if (out == nullptr || offset >= diskBytes)
        return 0;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(length, diskBytes - offset));
    std::memset(out, 0, n);
    if (file.empty())
        return n;
    // A short image, or one that cannot be read, leaves zeros. Only a plain
    // file is read: a pipe or terminal named here would block the simulator.
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        return n;
    std::ifstream in(file, std::ios::binary);
    if (in.seekg(static_cast<std::streamoff>(offset)))
        in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(n));
    return n;
}

}  // namespace vyn::hostsim
