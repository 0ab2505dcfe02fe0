#include "net/ByteCodec.h"

#include <cstring>

ByteWriter& ByteWriter::putU8(const std::uint8_t value) {
    out.push_back(value);
    return *this;
}

ByteWriter& ByteWriter::putU16(const std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    return *this;
}

std::uint8_t* storeU32(std::uint8_t* at, const std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        *at++ = static_cast<std::uint8_t>(value >> shift);
    }
    return at;
}

ByteWriter& ByteWriter::putU32(const std::uint32_t value) {
    out.resize(out.size() + 4);
    storeU32(out.data() + out.size() - 4, value);
    return *this;
}

ByteWriter& ByteWriter::putBytes(const void* const source, const std::size_t count) {
    const auto* const first = static_cast<const std::uint8_t*>(source);
    out.insert(out.end(), first, first + count);
    return *this;
}

const std::uint8_t* ByteReader::take(const std::size_t count) {
    if (!has(count)) {
        offset = size + 1;
        return nullptr;
    }
    const std::uint8_t* const field = data + offset;
    offset += count;
    return field;
}

std::uint8_t ByteReader::getU8() {
    const std::uint8_t* const p = take(1);
    return p == nullptr ? 0 : p[0];
}

std::uint16_t ByteReader::getU16() {
    const std::uint8_t* const p = take(2);
    return p == nullptr ? 0 : static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t ByteReader::getU32() {
    const std::uint8_t* const p = take(4);
    if (p == nullptr) {
        return 0;
    }
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint64_t ByteReader::getU64() {
    const std::uint64_t low = getU32();
    return low | static_cast<std::uint64_t>(getU32()) << 32;
}

bool ByteReader::getBytes(void* const target, const std::size_t count) {
    const std::uint8_t* const p = take(count);
    if (p != nullptr && count > 0) {
        std::memcpy(target, p, count);
    }
    return p != nullptr;
}

void ByteReader::skip(const std::size_t count) {
    take(count);
}
