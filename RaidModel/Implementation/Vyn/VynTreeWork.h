#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNTREEWORK_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNTREEWORK_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class RaidObject;
class VynSES2EnclosureDevice;
struct FsaEnclosureInfo;

// One SES-2 enclosure found through enclosure management, and the device
// the walk built for it (null until one is).
struct FsaSes2EnumInfo {
    uint32_t bus = 0;
    uint32_t target = 0;
    uint32_t lun = 0;
    uint32_t enclosureIndex = 0;
    VynSES2EnclosureDevice* pEnclosure = nullptr;
};

// What one tree build keeps between its phases. Whatever path the build
// takes, the records nobody took are freed with it.
struct VynTreeWork {
    VynTreeWork() = default;
    ~VynTreeWork();
    VynTreeWork(const VynTreeWork&) = delete;
    VynTreeWork& operator=(const VynTreeWork&) = delete;

    // The controller's channels after the channel enumeration (not owned).
    std::vector<RaidObject*> channels;
    // SAF-TE records; those an enclosure took are owned by it.
    std::vector<FsaEnclosureInfo*> safte;
    std::vector<FsaSes2EnumInfo*> ses2;
    // Enclosure key to enclosure index + 1.
    std::map<std::string, unsigned> enclosureKeys;
};

#endif
