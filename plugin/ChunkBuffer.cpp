#include "plugin/ChunkBuffer.h"

#include <limits>
#include <new>
#include <stdexcept>

namespace halvane {

bool ChunkBuffer::Reserve(std::size_t needed) {
    if (needed <= bytes_.capacity())
        return true;
    // Chunk sizes travel as signed 32-bit counts.
    if (needed > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
        return false;
    const std::size_t rounded = (needed + kGranule - 1) / kGranule * kGranule;
    try {
        bytes_.reserve(rounded);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

bool ChunkBuffer::Resize(int size) {
    if (size < 0 || !Reserve(static_cast<std::size_t>(size)))
        return false;
    bytes_.resize(static_cast<std::size_t>(size), 0);
    return true;
}

bool ChunkBuffer::PutBytes(const void* data, int size) {
    if (size < 0 || (size > 0 && !data))
        return false;
    if (size == 0)
        return true;
    if (!Reserve(bytes_.size() + static_cast<std::size_t>(size)))
        return false;
    const auto* p = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
    return true;
}

bool ChunkBuffer::PutString(const char* text) {
    const std::size_t n = text ? std::strlen(text) : 0;
    if (n > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
        return false;
    return Put(static_cast<int32_t>(n)) && PutBytes(text, static_cast<int>(n));
}

int ChunkBuffer::GetBytes(void* out, int size, int pos) const {
    if (pos < 0 || size < 0)
        return -1;
    const int64_t end = static_cast<int64_t>(pos) + size;
    if (end > static_cast<int64_t>(bytes_.size()))
        return -1;
    if (size > 0)
        std::memcpy(out, bytes_.data() + pos, static_cast<std::size_t>(size));
    return static_cast<int>(end);
}

int ChunkBuffer::GetString(std::string& out, int pos) const {
    int32_t length = 0;
    const int next = Get(&length, pos);
    if (next < 0 || length < 0)
        return -1;
    if (static_cast<int64_t>(next) + length > static_cast<int64_t>(bytes_.size()))
        return -1;
    out.assign(reinterpret_cast<const char*>(bytes_.data()) + next,
               static_cast<std::size_t>(length));
    return next + length;
}

} // namespace halvane
