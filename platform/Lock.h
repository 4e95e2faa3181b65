#pragma once
// Locks. The instance lock is re-entrant because the dispatcher, the parameter
// path and the state operations take it again while already holding it. Each
// platform implements RecursiveLock with its own primitive: the standard
// library's recursive mutex on Linux (platform/linux/Lock.cpp), a critical
// section on Windows (platform/win32/Lock.cpp). The object is kept in place
// inside the lock, so taking it allocates nothing.

#include <cstddef>

namespace halvane {

class RecursiveLock {
public:
    RecursiveLock();
    ~RecursiveLock();
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;

    void Enter();
    void Leave();
    bool TryEnter();

    // Room for the largest platform primitive (a 64-bit CRITICAL_SECTION or a
    // glibc recursive mutex, both 40 bytes); each implementation checks it fits.
    static constexpr std::size_t kStorageBytes = 64;

private:
    alignas(16) unsigned char storage_[kStorageBytes];
};

class ScopedLock {
public:
    explicit ScopedLock(RecursiveLock& lock) : lock_(lock) { lock_.Enter(); }
    ~ScopedLock() { lock_.Leave(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    RecursiveLock& lock_;
};

// The process-wide lock that serialises instance creation. Created on first use
// (thread-safe function-local static) and destroyed at process exit.
inline RecursiveLock& ConstructionLock() {
    static RecursiveLock lock;
    return lock;
}

} // namespace halvane
