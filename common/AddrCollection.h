#ifndef VYN_COMMON_ADDRCOLLECTION_H
#define VYN_COMMON_ADDRCOLLECTION_H

#include "common/Addr.h"

#include <vector>

// Ordered lists of addresses, held by value (drive sets and the like).

class AddrCollection {
public:
    using iterator = std::vector<Addr>::iterator;
    using const_iterator = std::vector<Addr>::const_iterator;

    // Same count and pairwise equal addresses in order.
    bool operator==(const AddrCollection& other) const;
    bool operator!=(const AddrCollection& other) const { return !(*this == other); }

    void addAddr(const Addr& addr);
    // A copy of element i; an index past the end gives an unset (invalid) address.
    Addr getAddr(unsigned long i) const;
    unsigned long getAddrCount() const { return m_addrs.size(); }

    iterator begin() { return m_addrs.begin(); }
    iterator end() { return m_addrs.end(); }
    const_iterator begin() const { return m_addrs.begin(); }
    const_iterator end() const { return m_addrs.end(); }

private:
    std::vector<Addr> m_addrs;
};

class Addr2Collection {
public:
    using iterator = std::vector<Addr2>::iterator;
    using const_iterator = std::vector<Addr2>::const_iterator;

    bool operator==(const Addr2Collection& other) const;
    bool operator!=(const Addr2Collection& other) const { return !(*this == other); }

    void addAddr(const Addr2& addr);
    // Element i itself; throws std::out_of_range for an index past the end.
    Addr2& getAddr(unsigned long i);
    const Addr2& getAddr(unsigned long i) const;
    unsigned long getAddrCount() const { return m_addrs.size(); }

    iterator begin() { return m_addrs.begin(); }
    iterator end() { return m_addrs.end(); }
    const_iterator begin() const { return m_addrs.begin(); }
    const_iterator end() const { return m_addrs.end(); }

private:
    std::vector<Addr2> m_addrs;
};

#endif
