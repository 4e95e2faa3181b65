#include "platform/Lock.h"

#include <windows.h>

namespace halvane {

namespace {

static_assert(sizeof(CRITICAL_SECTION) <= RecursiveLock::kStorageBytes, "lock storage too small");
static_assert(alignof(CRITICAL_SECTION) <= 16, "lock storage under-aligned");

CRITICAL_SECTION* Section(unsigned char* storage) {
    return reinterpret_cast<CRITICAL_SECTION*>(storage);
}

} // namespace

// Critical sections are re-entrant for their owning thread, which the instance
// lock needs.
RecursiveLock::RecursiveLock() {
    InitializeCriticalSection(Section(storage_));
}

RecursiveLock::~RecursiveLock() {
    DeleteCriticalSection(Section(storage_));
}

void RecursiveLock::Enter() {
    EnterCriticalSection(Section(storage_));
}

void RecursiveLock::Leave() {
    LeaveCriticalSection(Section(storage_));
}

bool RecursiveLock::TryEnter() {
    return TryEnterCriticalSection(Section(storage_)) != FALSE;
}

} // namespace halvane
