#include "cimprov/LibraryKeeper.h"

#include "RaidLib/StorLibPlugin.h"

LibraryKeeper::~LibraryKeeper() { releaseAll(); }

void LibraryKeeper::startRequest() {
    delete current_;
    current_ = nullptr;
}

void LibraryKeeper::adopt(StorLibPlugin* lib) {
    if (lib == current_) return;
    delete current_;
    current_ = lib;
}

void LibraryKeeper::endRequest(int warningType) {
    if (warningType == kAcknowledgementPending) {
        if (current_ == nullptr) return;
        if (pendingCount_ == kMaxPending) {
            // The oldest waiting object goes first.
            delete pending_[0];
            for (std::size_t i = 1; i < kMaxPending; ++i) pending_[i - 1] = pending_[i];
            --pendingCount_;
        }
        pending_[pendingCount_++] = current_;
        current_ = nullptr;
        return;
    }
    for (std::size_t i = 0; i < pendingCount_; ++i) {
        delete pending_[i];
        pending_[i] = nullptr;
    }
    pendingCount_ = 0;
}

void LibraryKeeper::releaseAll() {
    startRequest();
    endRequest(0);
}
