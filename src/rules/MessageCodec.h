#pragma once

// What the game messages' descriptions (rules/GameMessages.h) are read by:
// the writer that encodes, the reader that decodes and checks, and the
// dispatch that hands a received message to the handler of its kind.

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "net/ByteCodec.h"
#include "rules/GameMessages.h"

// Writes each field in order. Text and lists longer than their description
// allows are cut to fit, so whatever is encoded decodes.
class FieldWriter {
public:
    explicit FieldWriter(const GameMessage id) { out.putI32(id); }

    void number(const char* /*meaning*/, const std::int32_t value, FieldRange /*range*/) { out.putI32(value); }
    void cell(const char* /*meaning*/, const Position pos) { out.putI32(pos.x).putI32(pos.y); }
    void text(const char* /*meaning*/, const std::string& text, const TextLayout layout) {
        const std::size_t room  = static_cast<std::size_t>(layout.maxBytes) - (layout.zeroTerminated ? 1 : 0);
        const std::size_t bytes = std::min(text.size(), room);
        out.putI32(static_cast<std::int32_t>(bytes + (layout.zeroTerminated ? 1 : 0)));
        out.putBytes(text.data(), bytes);
        if (layout.zeroTerminated) {
            out.putU8(0);
        }
    }
    template <class Element>
    void list(const char* /*meaning*/, std::vector<Element>& items, const std::int32_t maxCount) {
        const std::size_t count = std::min(items.size(), static_cast<std::size_t>(maxCount));
        out.putI32(static_cast<std::int32_t>(count));
        for (std::size_t i = 0; i < count; ++i) {
            items[i].describe(*this);
        }
    }
    template <class Fields>
    void when(const bool condition, const char* /*what*/, Fields&& fields) {
        if (condition) {
            fields();
        }
    }

    MessageBuffer bytes() { return out.takeBytes(); }

private:
    ByteWriter out;
};

// Reads each field in order and checks it against its description. A field
// out of range, text that is not what its layout says, or bytes missing or
// left over, and the whole message is refused.
class FieldReader {
public:
    explicit FieldReader(const MessageBuffer& message) : in(message) { in.getI32(); }

    void number(const char* /*meaning*/, std::int32_t& value, const FieldRange range) {
        value   = in.getI32();
        refused = refused || !in.ok() || value < range.min || value > range.max;
    }
    void cell(const char* meaning, Position& pos) {
        number(meaning, pos.x, CELL);
        number(meaning, pos.y, CELL);
    }
    void text(const char* meaning, std::string& text, const TextLayout layout) {
        std::int32_t count = 0;
        number(meaning, count, {layout.zeroTerminated ? 1 : 0, layout.maxBytes});
        const auto size = static_cast<std::size_t>(count);
        if (refused || !in.has(size)) {
            refused = true;
            return;
        }
        const auto* const first = reinterpret_cast<const char*>(in.here());
        text.assign(first, layout.zeroTerminated ? size - 1 : size);
        in.skip(size);
        // One way to write each text: the zero ends it and is nowhere else.
        if (layout.zeroTerminated && (first[size - 1] != '\0' || text.find('\0') != std::string::npos)) {
            refused = true;
        }
    }
    template <class Element>
    void list(const char* meaning, std::vector<Element>& items, const std::int32_t maxCount) {
        std::int32_t count = 0;
        number(meaning, count, {0, maxCount});
        for (std::int32_t i = 0; i < count && !refused; ++i) {
            items.emplace_back().describe(*this);
        }
    }
    template <class Fields>
    void when(const bool condition, const char* /*what*/, Fields&& fields) {
        if (condition && !refused) {
            fields();
        }
    }

    bool accepted() const { return !refused && in.atEnd(); }

private:
    static constexpr FieldRange CELL{0, MAPSIZE - 1};

    ByteReader in;
    bool       refused = false;
};

template <class Message>
MessageBuffer encode(Message message) {
    FieldWriter writer(Message::KIND.id);
    message.describe(writer);
    return writer.bytes();
}

// The message, when the bytes are one of this kind that its description accepts.
template <class Message>
std::optional<Message> decode(const MessageBuffer& bytes) {
    if (messageId(bytes) != Message::KIND.id) {
        return std::nullopt;
    }
    Message     message;
    FieldReader reader(bytes);
    message.describe(reader);
    if (!reader.accepted()) {
        return std::nullopt;
    }
    return message;
}

// What became of received bytes handed to dispatchMessage.
enum class Dispatch { handled, refused, notAGameMessage };

// Hands the received bytes, decoded, to `handler(message)`, the overload for
// their kind; a handler may take only some kinds with a catch-all for the rest.
template <class Handler>
Dispatch dispatchMessage(const MessageBuffer& bytes, Handler&& handler);

// Calls `visit(MessageTag<M>{})` for every game message M, in the order of their ids.
template <class M>
struct MessageTag {
    using Type = M;
};
template <class Visit>
void forEachMessage(Visit&& visit);

// --- how the two above are done

template <class Message, class Handler>
Dispatch dispatchAs(const MessageBuffer& bytes, Handler& handler) {
    const std::optional<Message> message = decode<Message>(bytes);
    if (!message) {
        return Dispatch::refused;
    }
    handler(*message);
    return Dispatch::handled;
}

template <class Message, class Handler>
void dispatchIfKind(const std::int32_t id, const MessageBuffer& bytes, Handler& handler, Dispatch& result) {
    if (id == Message::KIND.id) {
        result = dispatchAs<Message>(bytes, handler);
    }
}

template <class Handler, class... Messages>
Dispatch dispatchAmong(const MessageBuffer& bytes, Handler& handler, MessageList<Messages...> /*all*/) {
    const std::int32_t id     = messageId(bytes);
    Dispatch           result = Dispatch::notAGameMessage;
    (dispatchIfKind<Messages>(id, bytes, handler, result), ...);
    return result;
}

template <class Handler>
Dispatch dispatchMessage(const MessageBuffer& bytes, Handler&& handler) {
    return dispatchAmong(bytes, handler, GameMessages{});
}

template <class Visit, class... Messages>
void visitEach(Visit& visit, MessageList<Messages...> /*all*/) {
    (visit(MessageTag<Messages>{}), ...);
}

template <class Visit>
void forEachMessage(Visit&& visit) {
    visitEach(visit, GameMessages{});
}
