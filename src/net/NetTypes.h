#pragma once

#include <array>
#include <cstdint>
#include <vector>

// The UDP port a host listens on and every player connects to.
constexpr std::uint16_t GAME_PORT = 9998;

// Identifies Quillstep sessions; a peer speaking another one is refused.
struct Guid {
    std::uint32_t               data1;
    std::uint16_t               data2;
    std::uint16_t               data3;
    std::array<std::uint8_t, 8> data4;
};

inline bool operator==(const Guid& a, const Guid& b) {
    return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 && a.data4 == b.data4;
}

// {EDE9493E-6AC8-4F15-8D01-8B163200B966}
constexpr Guid APPLICATION_GUID{0xEDE9493E, 0x6AC8, 0x4F15, {0x8D, 0x01, 0x8B, 0x16, 0x32, 0x00, 0xB9, 0x66}};

// Send flags, as the game messages carry them.
constexpr std::uint32_t DPNSEND_GUARANTEED    = 0x00000008;
constexpr std::uint32_t DPNSEND_PRIORITY_LOW  = 0x00000040;
constexpr std::uint32_t DPNSEND_PRIORITY_HIGH = 0x00000080;
constexpr std::uint32_t DPNSEND_SYNC          = 0x80000000;

// Every message handed over the network is a buffer of exactly the bytes
// received; its first four bytes say what kind it is.
using MessageBuffer = std::vector<std::uint8_t>;

// No game message comes near this; anything larger is dropped on arrival.
constexpr std::size_t MAX_MESSAGE_SIZE = 64 * std::size_t{1024};

// Notices the network objects queue themselves, four bytes holding the kind.
enum NetNotice : std::int32_t {
    NET_PLAYER_CREATED     = 1,
    NET_PLAYER_DESTROYED   = 2,
    NET_SESSION_TERMINATED = 3,
};

// A notice's bytes: its kind as a little-endian int32, like a message id.
inline MessageBuffer noticeBuffer(const NetNotice notice) {
    return {static_cast<std::uint8_t>(notice), 0, 0, 0};
}

// Whether bytes from a peer would be taken for a notice.
inline bool readsAsNotice(const std::uint8_t* const bytes, const std::size_t size) {
    return size >= 4 && bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 0 && bytes[0] >= NET_PLAYER_CREATED &&
           bytes[0] <= NET_SESSION_TERMINATED;
}
