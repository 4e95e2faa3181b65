#pragma once
// A growable byte buffer for state chunks. Values go in little-endian order,
// texts as a signed 32-bit length followed by the bytes. Every read takes a
// position and returns the position after the value, or -1 when the data ends
// first (or the position was already negative).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace halvane {

class ChunkBuffer {
public:
    static constexpr std::size_t kGranule = 4096;

    ChunkBuffer() = default;

    int Size() const { return static_cast<int>(bytes_.size()); }
    bool Empty() const { return bytes_.empty(); }
    const uint8_t* Data() const { return bytes_.data(); }
    uint8_t* Data() { return bytes_.data(); }
    void Clear() { bytes_.clear(); }
    // Makes the buffer size bytes long; new bytes are zero. False when the
    // size is negative or the memory cannot be had.
    bool Resize(int size);

    bool PutBytes(const void* data, int size);
    bool PutString(const char* text);
    bool PutString(const std::string& text) { return PutString(text.c_str()); }
    // Appends another buffer's bytes as they are.
    bool PutChunk(const ChunkBuffer& other) { return PutBytes(other.Data(), other.Size()); }

    template <typename T> bool Put(T value) {
        static_assert(std::is_arithmetic<T>::value, "plain values only");
        uint8_t raw[sizeof(T)];
        std::memcpy(raw, &value, sizeof(T));
        return PutBytes(raw, sizeof(T));
    }

    int GetBytes(void* out, int size, int pos) const;
    // Reads a length-prefixed text. Lengths below 0 or running past the data
    // give -1 and leave out unchanged.
    int GetString(std::string& out, int pos) const;

    template <typename T> int Get(T* out, int pos) const {
        static_assert(std::is_arithmetic<T>::value, "plain values only");
        uint8_t raw[sizeof(T)];
        const int next = GetBytes(raw, sizeof(T), pos);
        if (next >= 0)
            std::memcpy(out, raw, sizeof(T));
        return next;
    }

    bool operator==(const ChunkBuffer& other) const { return bytes_ == other.bytes_; }

private:
    bool Reserve(std::size_t needed);

    std::vector<uint8_t> bytes_;
};

static_assert(sizeof(double) == 8 && sizeof(int32_t) == 4, "chunk layout sizes");

} // namespace halvane
