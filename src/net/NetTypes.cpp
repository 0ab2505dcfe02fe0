#include "net/NetTypes.h"

MessageBuffer noticeBuffer(const NetNotice notice) {
    const auto kind = static_cast<std::uint32_t>(notice);
    return {static_cast<std::uint8_t>(kind), static_cast<std::uint8_t>(kind >> 8),
            static_cast<std::uint8_t>(kind >> 16), static_cast<std::uint8_t>(kind >> 24)};
}
