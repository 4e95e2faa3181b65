#pragma once
// Locks. The instance lock is re-entrant because the dispatcher, the parameter
// path and the state operations take it again while already holding it. The
// Linux build uses the standard library; a Win32 build may swap in critical
// sections behind the same two classes.

#include <mutex>

class RecursiveLock {
public:
    RecursiveLock() = default;
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;

    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }
    bool TryEnter() { return mutex_.try_lock(); }

private:
    std::recursive_mutex mutex_;
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
