#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Little-endian fields, the byte order of every packet and game message,
// whatever the machine's own order.

// Writes the value into the four bytes at `at`; returns the byte after them.
std::uint8_t* storeU32(std::uint8_t* at, std::uint32_t value);

class ByteWriter {
public:
    ByteWriter& putU8(std::uint8_t value);
    ByteWriter& putU16(std::uint16_t value);
    ByteWriter& putU32(std::uint32_t value);
    ByteWriter& putI32(std::int32_t value) { return putU32(static_cast<std::uint32_t>(value)); }
    ByteWriter& putBytes(const void* data, std::size_t size);

    const std::vector<std::uint8_t>& bytes() const { return out; }
    std::vector<std::uint8_t>        takeBytes() { return std::move(out); }

private:
    std::vector<std::uint8_t> out;
};

// Reads fields in order. A field that lies past the end reads as 0 and
// leaves the reader failed, so a decoder checks once, after its last field.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}
    explicit ByteReader(const std::vector<std::uint8_t>& bytes) : ByteReader(bytes.data(), bytes.size()) {}

    std::uint8_t  getU8();
    std::uint16_t getU16();
    std::uint32_t getU32();
    std::int32_t  getI32() { return static_cast<std::int32_t>(getU32()); }
    std::uint64_t getU64();
    // Copies the next size bytes; false, copying nothing, when fewer are left.
    bool getBytes(void* target, std::size_t size);
    void skip(std::size_t count);

    bool                has(std::size_t count) const { return ok() && size - offset >= count; }
    bool                ok() const { return offset <= size; }
    bool                atEnd() const { return offset == size; }
    const std::uint8_t* here() const { return data + offset; }

private:
    // The offset of count bytes to read next, or null after failing.
    const std::uint8_t* take(std::size_t count);

    const std::uint8_t* data;
    std::size_t         size;
    std::size_t         offset = 0;
};
