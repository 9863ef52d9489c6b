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
        if (current_ != nullptr) {
            pending_.push_back(current_);
            current_ = nullptr;
        }
        while (pending_.size() > kMaxPending) {
            delete pending_.front();
            pending_.pop_front();
        }
        return;
    }
    for (StorLibPlugin* lib : pending_) delete lib;
    pending_.clear();
}

void LibraryKeeper::releaseAll() {
    startRequest();
    endRequest(0);
}
