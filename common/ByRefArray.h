#ifndef VYN_COMMON_BYREFARRAY_H
#define VYN_COMMON_BYREFARRAY_H

#include <cstdint>
#include <cstring>
#include <new>

// Throws DynamicBufferException(1); kept out of line so that this header
// needs no buffer declarations.
[[noreturn]] void byRefArrayAllocationFailed();

// A growable array that stores its elements by value, back to back, in one
// raw block growing in fixed steps. Elements are relocated bitwise and never
// destroyed by the array: a holder whose elements own memory releases it.
template <class T>
class ByRefArray_TC {
public:
    ByRefArray_TC(unsigned long initialBytes, unsigned long growByBytes)
        : bufferSize(0), growBy(0), count(0), storage(nullptr)
    {
        SetGrowBy(growByBytes);
        AllocTo(initialBytes);
    }
    ByRefArray_TC(const ByRefArray_TC&) = delete;
    ByRefArray_TC& operator=(const ByRefArray_TC&) = delete;
    ~ByRefArray_TC() { delete[] storage; }

    unsigned long SetGrowBy(unsigned long bytes)
    {
        // The step is kept in 32 bits; a larger one is cut to the largest
        // whole number of elements that fits, never wrapped towards zero.
        const unsigned long maxSteps = kMaxBytes / sizeof(T);
        unsigned long steps = bytes / sizeof(T) + (bytes % sizeof(T) != 0 ? 1 : 0);
        if (steps == 0)
            steps = 1;
        if (steps > maxSteps)
            steps = maxSteps;
        growBy = static_cast<unsigned int>(steps * sizeof(T));
        return growBy;
    }

    unsigned long AllocTo(unsigned long bytes)
    {
        // Refused before rounding, which would otherwise wrap to a small size.
        if (bytes > kMaxBytes)
            byRefArrayAllocationFailed();
        unsigned long target = bytes > BytesUsed() ? bytes : BytesUsed();
        target = (target + growBy - 1) / growBy * growBy;
        if (target == bufferSize)
            return bufferSize;
        if (storage != nullptr && count == 0) {
            delete[] storage;
            storage = nullptr;
            bufferSize = 0;
        }
        if (target > kMaxBytes)
            byRefArrayAllocationFailed();
        if (target != 0) {
            unsigned char* block = new (std::nothrow) unsigned char[target];
            if (block == nullptr)
                byRefArrayAllocationFailed();
            if (storage != nullptr) {
                std::memcpy(block, storage, BytesUsed());
                delete[] storage;
            }
            storage = block;
            bufferSize = static_cast<unsigned int>(target);
        }
        return bufferSize;
    }

    unsigned long GrowBy(unsigned long bytes)
    {
        if (bytes > kMaxBytes - bufferSize)
            byRefArrayAllocationFailed();
        return AllocTo(bufferSize + bytes);
    }

    unsigned long BytesUsed() const { return static_cast<unsigned long>(count) * sizeof(T); }
    unsigned long BytesAvailable() const { return bufferSize - BytesUsed(); }
    unsigned long BufferSize() const { return bufferSize; }

    bool Insert(long index, const T& obj)
    {
        // obj may be one of our own elements, which growing and moving shift.
        long own = ownIndex(&obj);
        if (BytesAvailable() < sizeof(T))
            GrowBy(sizeof(T));
        if (BytesAvailable() < sizeof(T))
            return false;
        if (!IsValid(index))
            index = count;
        unsigned char* slot = storage + static_cast<unsigned long>(index) * sizeof(T);
        unsigned long tail = (count - static_cast<unsigned long>(index)) * sizeof(T);
        std::memmove(slot + sizeof(T), slot, tail);
        if (own >= index)
            ++own;
        const T& source = own >= 0 ? *Obj_P(own) : obj;
        try {
            new (slot) T(source);
        } catch (...) {
            std::memmove(slot, slot + sizeof(T), tail);
            throw;
        }
        ++count;
        return true;
    }
    bool InsertBack(const T& obj)
    {
        // With room at the end and obj not one of our own, nothing moves.
        if (BytesAvailable() >= sizeof(T) && ownIndex(&obj) < 0) {
            new (storage + BytesUsed()) T(obj);
            ++count;
            return true;
        }
        return Insert(count, obj);
    }

    void RemoveAll() { count = 0; }
    void clear() { count = 0; }

    bool IsValid(long i) const { return i >= 0 && i < static_cast<long>(count); }
    long LastIndex() const { return static_cast<long>(count) - 1; }
    T* Obj_P(long i) const
    {
        if (storage == nullptr)
            return nullptr;
        return reinterpret_cast<T*>(storage + static_cast<unsigned long>(i) * sizeof(T));
    }

private:
    static constexpr unsigned long kMaxBytes = 0xFFFFFFFFul;

    long ownIndex(const T* p) const
    {
        std::uintptr_t at = reinterpret_cast<std::uintptr_t>(p);
        std::uintptr_t first = reinterpret_cast<std::uintptr_t>(storage);
        if (storage == nullptr || at < first || at >= first + BytesUsed())
            return -1;
        return static_cast<long>((at - first) / sizeof(T));
    }

    unsigned int bufferSize;
    unsigned int growBy;
    unsigned int count;
    unsigned char* storage;
};

#endif
