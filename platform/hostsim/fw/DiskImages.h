#ifndef VYN_PLATFORM_HOSTSIM_FW_DISKIMAGES_H
#define VYN_PLATFORM_HOSTSIM_FW_DISKIMAGES_H

#include "platform/hostsim/state/Controller.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace vyn::hostsim {

// The image file a description names for a container ("ldK = ... image=<file>"
// or "image = <file>" in [adapterN.ldK]), as written; "" when none.
std::string containerImage(const ControllerState& c, unsigned container);

// Where an image named `image` lies: an absolute name as it is; a relative
// one beside the description file `source`, or under the host root `root`
// when the description was given as text (tests, "default").
std::string imageFile(const std::string& image, const std::string& source, const std::string& root);

// The size of a container's disk in bytes (0 when there is no such
// container).
uint64_t containerDiskBytes(const ControllerState& c, unsigned container);

// A read of `length` bytes at `offset` of a disk of `diskBytes` bytes whose
// first bytes are the file `file` ("": none): the file's bytes, zeros beyond
// it, nothing past the disk's end. Returns the bytes given.
size_t readContainerDisk(const std::string& file, uint64_t diskBytes, uint64_t offset, uint8_t* out, size_t length);

}  // namespace vyn::hostsim

#endif
