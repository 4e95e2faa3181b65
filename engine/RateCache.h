#pragma once
// One immutable table per sample rate, shared by every user at that rate. The
// cache holds weak references, so a table lives as long as somebody uses it and
// a host stepping through many rates does not pile them up. Asked for only when
// a rate changes (it allocates and locks), never on the audio path.

#include <map>
#include <memory>
#include <mutex>

namespace halvane {

template <typename Table> class RateCache {
public:
    // rate must already be the table's usable form of the rate (the map's key).
    static std::shared_ptr<const Table> Get(double rate) {
        static std::mutex mutex;
        static std::map<double, std::weak_ptr<const Table>> cache;

        std::lock_guard<std::mutex> lock(mutex);
        for (auto it = cache.begin(); it != cache.end();) {
            if (it->second.expired())
                it = cache.erase(it);
            else
                ++it;
        }
        std::weak_ptr<const Table>& slot = cache[rate];
        std::shared_ptr<const Table> table = slot.lock();
        if (!table) {
            table.reset(new Table(rate));
            slot = table;
        }
        return table;
    }
};

} // namespace halvane
