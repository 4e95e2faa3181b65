// The audio path never allocates: this test binary replaces the global
// allocation functions with counting ones, plays the engine hard with every
// stage switched on, and requires zero allocations and frees while rendering and
// while parameters change between blocks.

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

#include "engine_fixture.h"

// Plain malloc is counted as well (glibc's own entry points underneath, at the
// end of the replacements), except where this file is built with a sanitizer,
// which must keep its own allocator.
#if defined(__SANITIZE_ADDRESS__)
#define HALVANE_COUNT_MALLOC 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HALVANE_COUNT_MALLOC 0
#endif
#endif
#ifndef HALVANE_COUNT_MALLOC
#define HALVANE_COUNT_MALLOC 1
#endif


namespace halvane {

namespace {

std::atomic<bool> gArmed{false};
std::atomic<long> gAllocations{0};
std::atomic<long> gFrees{0};

void CountAllocation() {
    if (gArmed.load(std::memory_order_relaxed))
        gAllocations.fetch_add(1, std::memory_order_relaxed);
}

void CountFree(void* p) {
    if (p && gArmed.load(std::memory_order_relaxed))
        gFrees.fetch_add(1, std::memory_order_relaxed);
}

void* Allocate(std::size_t n) {
    CountAllocation();
    return std::malloc(n ? n : 1);
}

// Aligned blocks are carved out of a larger malloc block, whose address is kept
// just below the aligned one for FreeAligned: so they come from the same
// allocator as everything else whichever malloc the program ends up with. (Only
// the product is built with the sanitizers, not this file, so the check at the
// top cannot always tell whether their allocator is linked in; and that
// allocator takes over memalign and its kin, though not glibc's free.)
void* AllocateAligned(std::size_t n, std::align_val_t align) {
    CountAllocation();
    std::size_t a = static_cast<std::size_t>(align);
    if (a < sizeof(void*))
        a = sizeof(void*);
    void* raw = std::malloc(n + a + sizeof(void*));
    if (!raw)
        return nullptr;
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
    void** block = reinterpret_cast<void**>((start + a - 1) & ~static_cast<std::uintptr_t>(a - 1));
    block[-1] = raw;
    return block;
}

void FreeAligned(void* p) {
    if (p)
        std::free(static_cast<void**>(p)[-1]);
}

} // namespace

} // namespace halvane

// The replacements must be global; they count through the helpers above.
using namespace halvane;

void* operator new(std::size_t n) {
    if (void* p = Allocate(n))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
    if (void* p = Allocate(n))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    return Allocate(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    return Allocate(n);
}
void* operator new(std::size_t n, std::align_val_t a) {
    if (void* p = AllocateAligned(n, a))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n, std::align_val_t a) {
    if (void* p = AllocateAligned(n, a))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    CountFree(p);
    std::free(p);
}
void operator delete[](void* p) noexcept {
    CountFree(p);
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    CountFree(p);
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    CountFree(p);
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    CountFree(p);
    FreeAligned(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    CountFree(p);
    FreeAligned(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    CountFree(p);
    FreeAligned(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    CountFree(p);
    FreeAligned(p);
}

#if HALVANE_COUNT_MALLOC
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);

void* malloc(std::size_t n) {
    CountAllocation();
    return __libc_malloc(n);
}
void* calloc(std::size_t count, std::size_t n) {
    CountAllocation();
    return __libc_calloc(count, n);
}
void* realloc(void* p, std::size_t n) {
    CountAllocation();
    return __libc_realloc(p, n);
}
void free(void* p) {
    CountFree(p);
    __libc_free(p);
}
}
#endif

namespace halvane {

namespace {

using enginetest::EngineRig;

struct Armed {
    Armed() {
        gAllocations = 0;
        gFrees = 0;
        gArmed = true;
    }
    ~Armed() { gArmed = false; }
};

TEST(NoAllocation, CountingWorks) {
    {
        Armed armed;
        delete new int(3);
        std::free(std::malloc(16));
    }
    EXPECT_GE(gAllocations.load(), 1);
    EXPECT_GE(gFrees.load(), 1);
}

TEST(NoAllocation, RenderingAndParameterChangesNeverAllocate) {
    EngineRig rig;
    // Learned controllers land in the middle of rendering.
    rig.Learn(20, ParamId::kVcfCutoff);
    rig.Learn(21, ParamId::kFlangerManual);
    const std::pair<int, double> settings[] = {{ParamId::kTridentMode, 0.0},
                                               {ParamId::kOutputBrass, 1.0},
                                               {ParamId::kOutputStrings, 1.0},
                                               {ParamId::kVco2Octave, 2.0},
                                               {ParamId::kVco1Wave, 2.0},
                                               {ParamId::kVcfResonance, 0.7},
                                               {ParamId::kVcfEgIntensity, 4000},
                                               {ParamId::kVcfRelease, 0.5},
                                               {ParamId::kBrass8, 1.0},
                                               {ParamId::kDetuneBrass, 0.3},
                                               {ParamId::kDetuneStrings, -0.4},
                                               {ParamId::kStrings16, 1.0},
                                               {ParamId::kStrings4, 1.0},
                                               {ParamId::kStringsBowing, 1.0},
                                               {ParamId::kStringsVibratoIntensity, 0.8},
                                               {ParamId::kStereoEnsemble, 1.0},
                                               {ParamId::kFlangerSynthe, 1.0},
                                               {ParamId::kFlangerBrass, 1.0},
                                               {ParamId::kFlangerStrings, 1.0},
                                               {ParamId::kStereoFlanger, 1.0},
                                               {ParamId::kVibDelay, 1.0},
                                               {ParamId::kVcaAutoDamp, 1.0},
                                               {ParamId::kBrassEgIntensity, 3000.0},
                                               {ParamId::kStringsEqHigh, 6.0}};
    for (const auto& s : settings)
        rig.Set(s.first, s.second);

    // The frame's queue holds the MIDI before the render call (the host binding
    // fills it, growing it outside the audio path).
    auto queueBlock = [&rig](int block) {
        for (int k = 0; k < 24; ++k)
            rig.Midi(k * 10, 0x90, 36 + (block * 7 + k * 5) % 80, 1 + (k * 13) % 127);
        rig.Midi(3, 0xE0, block % 128, (block * 3) % 128);
        rig.Midi(7, 0xB0, 1, block % 128);
        rig.Midi(9, 0xB0, 64, block % 2 ? 127 : 0);
        rig.Midi(11, 0xB0, 20, block % 128);
        rig.Midi(12, 0xB0, 21, (block * 5) % 128);
        for (int k = 0; k < 20; ++k)
            rig.Midi(100 + k * 7, 0x80, 36 + (block * 7 + k * 5) % 80, 0);
    };

    std::vector<double> channels(Engine::kOutputs * 256);
    double* out[Engine::kOutputs];
    for (int c = 0; c < Engine::kOutputs; ++c)
        out[c] = channels.data() + c * 256;

    long allocations = 0, frees = 0;
    for (int block = 0; block < 400; ++block) {
        queueBlock(block);
        {
            Armed armed;
            enginetest::RenderQueue(*rig.engine, rig.midi, out, 256);
            rig.Set(ParamId::kVcfCutoff, (block % 10) / 10.0);
            rig.Set(ParamId::kBrassCutoff, (block % 7) / 7.0);
            rig.Set(ParamId::kPanStrings, (block % 5) / 5.0);
            rig.Set(ParamId::kStringsBowingTone, (block % 3) / 3.0);
            rig.Set(ParamId::kEns1Amount, (block % 4) / 40.0);
            if (block % 50 == 49)
                rig.Set(ParamId::kTridentMode, block % 100 == 49 ? 1.0 : 0.0);
            allocations += gAllocations.load();
            frees += gFrees.load();
        }
    }
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(frees, 0);
    EXPECT_GT(rig.engine->StartCounter(), 5000);

    // A learned controller can move any parameter while rendering: no parameter's
    // path may allocate, at either end of its range.
    const PlugParam* table = rig.params;
    {
        Armed armed;
        for (int i = 0; i < kNumParams; ++i) {
            rig.Set(i, table[i].Max());
            rig.Set(i, table[i].Min());
            rig.Set(i, table[i].Default());
        }
        allocations = gAllocations.load();
    }
    EXPECT_EQ(allocations, 0);
}

} // namespace

} // namespace halvane
