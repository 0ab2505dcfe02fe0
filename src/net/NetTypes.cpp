#include "net/NetTypes.h"

#include "net/ByteCodec.h"

MessageBuffer noticeBuffer(const NetNotice notice) {
    return ByteWriter().putI32(notice).takeBytes();
}

bool readsAsNotice(const std::uint8_t* const bytes, const std::size_t size) {
    ByteReader         reader(bytes, size);
    const std::int32_t kind = reader.getI32();
    return reader.ok() && kind >= NET_PLAYER_CREATED && kind <= NET_SESSION_TERMINATED;
}
