#include "common/AddrCollection.h"

#include <stdexcept>

bool AddrCollection::operator==(const AddrCollection& other) const
{
    return m_addrs == other.m_addrs;
}

void AddrCollection::addAddr(const Addr& addr)
{
    m_addrs.push_back(addr);
}

Addr AddrCollection::getAddr(unsigned long i) const
{
    return i < m_addrs.size() ? m_addrs[i] : Addr();
}

// Addr2's own == compares the library type as well.
bool Addr2Collection::operator==(const Addr2Collection& other) const
{
    return m_addrs == other.m_addrs;
}

void Addr2Collection::addAddr(const Addr2& addr)
{
    m_addrs.push_back(addr);
}

Addr2& Addr2Collection::getAddr(unsigned long i)
{
    return m_addrs.at(i);
}

const Addr2& Addr2Collection::getAddr(unsigned long i) const
{
    return m_addrs.at(i);
}
