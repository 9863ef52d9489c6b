#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNNEW_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNNEW_H

#include <new>
#include <utility>

// A new object for the family's tree, or null when it cannot be had: an
// allocation that fails and a constructor that throws both count as a failed
// allocation, which the caller reports.
template <class T, class... Args>
T* newOrNull(Args&&... args)
{
    try {
        return new (std::nothrow) T(std::forward<Args>(args)...);
    } catch (...) {
        return nullptr;
    }
}

#endif
