#ifndef VYN_PLATFORM_HOSTSIM_STATE_DERIVED_H
#define VYN_PLATFORM_HOSTSIM_STATE_DERIVED_H

#include "platform/hostsim/state/Controller.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>
#include <vector>

namespace vyn::hostsim {

// Views derived from a controller's object lines, kept for reuse.
//
// The rule that keeps them right: a kept view is a function of the object
// lines alone (plus the one value its caller adds to the key), and is kept
// under the lines' revision. Whatever changes the lines gives them a new
// revision: a handler editing them (every change through ObjectLines takes
// one), a reload of the state file another process wrote, a reset to the
// description. So a handler that changes the state needs no call to drop a
// view, and the first request after a change, in this process or another,
// derives it anew. A view that comes to read any other field of the state
// must put it into the key, or not be kept.
template <typename View> class ViewStore {
public:
    template <typename Derive> std::shared_ptr<const View> get(const ControllerState& c, uint64_t extra, Derive derive)
    {
        const Key key{c.objects.revision(), extra};
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const Entry& e : entries_)
                if (e.key.revision == key.revision && e.key.extra == key.extra)
                    return e.view;
        }
        auto view = std::make_shared<const View>(derive(c));
        std::lock_guard<std::mutex> lock(mutex_);
        // A few controllers, or a few states of one, at a time.
        if (entries_.size() >= kKept)
            entries_.erase(entries_.begin());
        entries_.push_back(Entry{key, view});
        return view;
    }

private:
    struct Key {
        uint64_t revision;
        uint64_t extra;
    };
    struct Entry {
        Key key;
        std::shared_ptr<const View> view;
    };
    static constexpr size_t kKept = 8;
    std::mutex mutex_;
    std::vector<Entry> entries_;
};

// A list of a kept view. Views are derived once and handed out to every
// request until the object lines change, so the list is shared, read-only, by
// every copy: a copy costs a reference count.
template <typename T> class SharedList {
public:
    using value_type = T;
    using const_iterator = typename std::vector<T>::const_iterator;
    using iterator = const_iterator;

    SharedList() = default;
    explicit SharedList(std::vector<T> items) : items_(std::make_shared<const std::vector<T>>(std::move(items))) {}
    explicit SharedList(std::shared_ptr<const std::vector<T>> items) : items_(std::move(items)) {}

    const std::vector<T>& items() const { return items_ ? *items_ : none(); }
    operator const std::vector<T>&() const { return items(); }
    const_iterator begin() const { return items().begin(); }
    const_iterator end() const { return items().end(); }
    size_t size() const { return items().size(); }
    bool empty() const { return items().empty(); }
    const T& operator[](size_t i) const { return items()[i]; }
    const T& front() const { return items().front(); }
    const T& back() const { return items().back(); }

private:
    static const std::vector<T>& none()
    {
        static const std::vector<T> nothing;
        return nothing;
    }
    std::shared_ptr<const std::vector<T>> items_;
};

// The view `Derive(c)` kept under the rule above; one store per function.
template <auto Derive> auto keptView(const ControllerState& c)
{
    using View = std::decay_t<decltype(Derive(c))>;
    static ViewStore<View> store;
    return store.get(c, 0, Derive);
}

}  // namespace vyn::hostsim

#endif
