#include "platform/Lock.h"

#include <mutex>
#include <new>

namespace halvane {

namespace {

using Mutex = std::recursive_mutex;
static_assert(sizeof(Mutex) <= RecursiveLock::kStorageBytes, "lock storage too small");
static_assert(alignof(Mutex) <= 16, "lock storage under-aligned");

} // namespace

RecursiveLock::RecursiveLock() {
    new (storage_) Mutex();
}

RecursiveLock::~RecursiveLock() {
    std::launder(reinterpret_cast<Mutex*>(storage_))->~Mutex();
}

void RecursiveLock::Enter() {
    std::launder(reinterpret_cast<Mutex*>(storage_))->lock();
}

void RecursiveLock::Leave() {
    std::launder(reinterpret_cast<Mutex*>(storage_))->unlock();
}

bool RecursiveLock::TryEnter() {
    return std::launder(reinterpret_cast<Mutex*>(storage_))->try_lock();
}

} // namespace halvane
