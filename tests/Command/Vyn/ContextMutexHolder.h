#ifndef VYN_TESTS_COMMAND_VYN_CONTEXTMUTEXHOLDER_H
#define VYN_TESTS_COMMAND_VYN_CONTEXTMUTEXHOLDER_H

#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/os/faux_mutex.h"

#include <atomic>
#include <thread>

namespace vyntest {

// Another thread holding a context's API mutex, as a concurrent export does:
// taken when the constructor returns, given back by release() or at the end
// of the scope.
class ContextMutexHolder {
public:
    explicit ContextMutexHolder(FSAAPI_CONTEXT* ctx)
        : thread_([this, ctx] {
              faos_WaitForAndGetMutex(ctx->contextMutex);
              held_ = true;
              while (!release_)
                  std::this_thread::yield();
              faos_ReleaseMutex(ctx->contextMutex);
          })
    {
        while (!held_)
            std::this_thread::yield();
    }
    ~ContextMutexHolder() { release(); }
    ContextMutexHolder(const ContextMutexHolder&) = delete;
    ContextMutexHolder& operator=(const ContextMutexHolder&) = delete;

    void release()
    {
        release_ = true;
        if (thread_.joinable())
            thread_.join();
    }

private:
    std::atomic<bool> held_{false};
    std::atomic<bool> release_{false};
    std::thread thread_;
};

}  // namespace vyntest

#endif
