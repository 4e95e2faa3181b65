#pragma once
// Engine events waiting inside the engine: the bend, wheel and learned
// controllers taken over in the middle of a control block wait here for the next
// control update, across host blocks if need be (notes are dispatched from the
// block's own events). Each event is packed into one 64-bit word: bits 0-31 the
// sample offset (signed), bits 32-39 the status byte, bits 40-47 the first and
// bits 48-55 the second data byte. A fixed ring allocated once: pushing never
// allocates, it refuses when full.

#include <cstdint>
#include <memory>

namespace halvane {

class EngineEventQueue {
public:
    static constexpr int kCapacity = 4096; // a power of two

    EngineEventQueue() : slots_(new uint64_t[kCapacity]) {}

    static uint64_t Pack(int32_t offset, uint8_t status, uint8_t data1, uint8_t data2) {
        return static_cast<uint64_t>(static_cast<uint32_t>(offset)) |
               static_cast<uint64_t>(status) << 32 | static_cast<uint64_t>(data1) << 40 |
               static_cast<uint64_t>(data2) << 48;
    }
    static int32_t Offset(uint64_t event) {
        return static_cast<int32_t>(static_cast<uint32_t>(event & 0xFFFFFFFFu));
    }
    static uint8_t Status(uint64_t event) { return static_cast<uint8_t>(event >> 32); }
    static uint8_t Data1(uint64_t event) { return static_cast<uint8_t>(event >> 40); }
    static uint8_t Data2(uint64_t event) { return static_cast<uint8_t>(event >> 48); }

    bool Empty() const { return size_ == 0; }
    bool Full() const { return size_ == kCapacity; }
    int Size() const { return size_; }

    // False (and nothing stored) when the ring is full.
    bool Push(uint64_t event) {
        if (Full())
            return false;
        slots_[static_cast<unsigned>(head_ + size_) & kMask] = event;
        ++size_;
        return true;
    }
    uint64_t Front() const { return slots_[static_cast<unsigned>(head_)]; }
    void Pop() {
        if (size_ == 0)
            return;
        head_ = static_cast<int>(static_cast<unsigned>(head_ + 1) & kMask);
        --size_;
    }
    void Clear() { head_ = size_ = 0; }

private:
    static constexpr unsigned kMask = kCapacity - 1;

    std::unique_ptr<uint64_t[]> slots_;
    int head_ = 0;
    int size_ = 0;
};

} // namespace halvane
