#ifndef VYN_CIMPROV_LIBRARYKEEPER_H
#define VYN_CIMPROV_LIBRARYKEEPER_H

#include <cstddef>

class StorLibPlugin;

// The storage-library objects of the command provider's requests. Each
// request builds a new one with its system tree and open adapter handles;
// the previous request's object is released when the next request starts, so
// a polling client cannot exhaust descriptors. A request that ends with an
// acknowledgement pending (warning type 2: IDENTIFY's drive still blinks)
// keeps its object alive until a later request ends without one; only the
// most recent few of those are kept.
class LibraryKeeper {
public:
    static constexpr std::size_t kMaxPending = 4;
    static constexpr int kAcknowledgementPending = 2;

    LibraryKeeper() = default;
    ~LibraryKeeper();
    LibraryKeeper(const LibraryKeeper&) = delete;
    LibraryKeeper& operator=(const LibraryKeeper&) = delete;

    // A new request begins: the previous request's object goes unless it
    // waits for an acknowledgement.
    void startRequest();
    // Takes over the current request's object (null allowed).
    void adopt(StorLibPlugin* lib);
    // The request ended with `warningType` (outputWarningFlag).
    void endRequest(int warningType);
    // Releases every object (provider cleanup).
    void releaseAll();

    StorLibPlugin* current() const { return current_; }
    std::size_t pendingCount() const { return pendingCount_; }

private:
    // Fixed storage: the provider's keeper is never destroyed, so it must own
    // no heap block of its own.
    StorLibPlugin* current_ = nullptr;
    StorLibPlugin* pending_[kMaxPending] = {};
    std::size_t pendingCount_ = 0;
};

#endif
