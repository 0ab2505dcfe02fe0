#include "rules/PackedForm.h"

#include <array>

#include "rules/MessageCodec.h"

namespace {

constexpr int bitsFor(const std::uint64_t span) {
    int bits = 0;
    while ((span >> bits) != 0) {
        ++bits;
    }
    return bits;
}

template <class... Messages>
constexpr std::size_t countOf(MessageList<Messages...> /*all*/) {
    return sizeof...(Messages);
}

constexpr std::size_t KIND_COUNT = countOf(GameMessages{});
constexpr int         KIND_BITS  = bitsFor(KIND_COUNT - 1);
static_assert(KIND_BITS <= 8, "a message's kind fits its first byte");

// Ranges up to this span take fixed bits; wider ones (ids, scores, times)
// hold small values nearly always and take groups of bits.
constexpr std::uint64_t NARROW_SPAN = (1u << 12) - 1;
constexpr int           GROUP_BITS  = 5;
constexpr int           MAX_GROUPS  = (32 + GROUP_BITS - 1) / GROUP_BITS;

constexpr std::uint64_t spanOf(const FieldRange range) {
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(range.max) - range.min);
}

// Without a minimum to count from, small values of either sign stay small.
constexpr bool zigzagged(const FieldRange range) {
    return range.min == INT32_MIN;
}

class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : out(out) {}

    void put(const std::uint32_t value, const int bits) {
        pending |= static_cast<std::uint64_t>(value) << filled;
        filled += bits;
        while (filled >= 8) {
            out.push_back(static_cast<std::uint8_t>(pending));
            pending >>= 8;
            filled -= 8;
        }
    }
    void putGroups(std::uint32_t value) {
        do {
            const std::uint32_t group = value & ((1u << GROUP_BITS) - 1);
            value >>= GROUP_BITS;
            put(group | (value != 0 ? 1u << GROUP_BITS : 0u), GROUP_BITS + 1);
        } while (value != 0);
    }
    // The message ends on a byte boundary.
    void finish() {
        if (filled > 0) {
            out.push_back(static_cast<std::uint8_t>(pending));
        }
        pending = 0;
        filled  = 0;
    }

private:
    std::vector<std::uint8_t>& out;
    std::uint64_t              pending = 0;
    int                        filled  = 0;
};

// Reads bits in order; any read past the end leaves it failed.
class BitReader {
public:
    BitReader(const std::uint8_t*& at, const std::uint8_t* const end) : at(at), end(end) {}

    std::uint32_t get(const int bits) {
        while (filled < bits) {
            if (at == end) {
                failed = true;
                return 0;
            }
            pending |= static_cast<std::uint64_t>(*at++) << filled;
            filled += 8;
        }
        const auto value = static_cast<std::uint32_t>(pending & ((std::uint64_t{1} << bits) - 1));
        pending >>= bits;
        filled -= bits;
        return value;
    }
    // One way to write each value: no empty group after the first, nothing past 32 bits.
    std::uint32_t getGroups() {
        std::uint64_t value = 0;
        for (int group = 0; group < MAX_GROUPS && !failed; ++group) {
            const std::uint32_t bits = get(GROUP_BITS + 1);
            const std::uint32_t low  = bits & ((1u << GROUP_BITS) - 1);
            value |= static_cast<std::uint64_t>(low) << (group * GROUP_BITS);
            if ((bits >> GROUP_BITS) == 0) {
                failed = failed || (group > 0 && low == 0) || value > UINT32_MAX;
                return static_cast<std::uint32_t>(value);
            }
        }
        failed = true;
        return 0;
    }
    // The padding up to the byte boundary is zero, so each message has one form.
    bool finished() const { return !failed && pending == 0; }
    bool ok() const { return !failed; }
    void fail() { failed = true; }

private:
    const std::uint8_t*&      at;
    const std::uint8_t* const end;
    std::uint64_t             pending = 0;
    int                       filled  = 0;
    bool                      failed  = false;
};

// Writes a message's fields, already checked against its description.
class PackedWriter {
public:
    explicit PackedWriter(BitWriter& out) : out(out) {}

    void number(const char* /*meaning*/, const std::int32_t value, const FieldRange range) {
        if (spanOf(range) <= NARROW_SPAN) {
            out.put(static_cast<std::uint32_t>(static_cast<std::int64_t>(value) - range.min), bitsFor(spanOf(range)));
        } else if (zigzagged(range)) {
            out.putGroups(static_cast<std::uint32_t>(value) << 1 ^ static_cast<std::uint32_t>(value >> 31));
        } else {
            out.putGroups(static_cast<std::uint32_t>(static_cast<std::int64_t>(value) - range.min));
        }
    }
    void cell(const char* meaning, Position& pos) {
        number(meaning, pos.x, CELL);
        number(meaning, pos.y, CELL);
    }
    void text(const char* meaning, std::string& text, const TextLayout layout) {
        number(meaning, static_cast<std::int32_t>(text.size()), countRange(layout));
        for (const char c : text) {
            out.put(static_cast<std::uint8_t>(c), 8);
        }
    }
    template <class Element>
    void list(const char* meaning, std::vector<Element>& items, const std::int32_t maxCount) {
        number(meaning, static_cast<std::int32_t>(items.size()), {0, maxCount});
        for (Element& item : items) {
            item.describe(*this);
        }
    }
    template <class Fields>
    void when(const bool condition, const char* /*what*/, Fields&& fields) {
        if (condition) {
            fields();
        }
    }

    static constexpr FieldRange CELL{0, MAPSIZE - 1};
    static FieldRange           countRange(const TextLayout layout) {
                  return {0, layout.maxBytes - (layout.zeroTerminated ? 1 : 0)};
    }

private:
    BitWriter& out;
};

// Reads a message's fields and checks each against its description.
class PackedReader {
public:
    explicit PackedReader(BitReader& in) : in(in) {}

    void number(const char* /*meaning*/, std::int32_t& value, const FieldRange range) {
        const std::uint64_t span = spanOf(range);
        std::int64_t        read = 0;
        if (span <= NARROW_SPAN) {
            read = range.min + static_cast<std::int64_t>(in.get(bitsFor(span)));
        } else if (zigzagged(range)) {
            const std::uint32_t zigzag = in.getGroups();
            read                       = static_cast<std::int32_t>(zigzag >> 1 ^ (0u - (zigzag & 1u)));
        } else {
            read = range.min + static_cast<std::int64_t>(in.getGroups());
        }
        if (read < range.min || read > range.max) {
            in.fail();
            return;
        }
        value = static_cast<std::int32_t>(read);
    }
    void cell(const char* meaning, Position& pos) {
        number(meaning, pos.x, PackedWriter::CELL);
        number(meaning, pos.y, PackedWriter::CELL);
    }
    void text(const char* meaning, std::string& text, const TextLayout layout) {
        std::int32_t count = 0;
        number(meaning, count, PackedWriter::countRange(layout));
        for (std::int32_t i = 0; i < count && in.ok(); ++i) {
            text.push_back(static_cast<char>(in.get(8)));
        }
        // A zero-terminated text's zero is implied and nowhere else.
        if (layout.zeroTerminated && text.find('\0') != std::string::npos) {
            in.fail();
        }
    }
    template <class Element>
    void list(const char* meaning, std::vector<Element>& items, const std::int32_t maxCount) {
        std::int32_t count = 0;
        number(meaning, count, {0, maxCount});
        for (std::int32_t i = 0; i < count && in.ok(); ++i) {
            items.emplace_back().describe(*this);
        }
    }
    template <class Fields>
    void when(const bool condition, const char* /*what*/, Fields&& fields) {
        if (condition && in.ok()) {
            fields();
        }
    }

private:
    BitReader& in;
};

struct KindForm {
    std::int32_t id                                                                                = 0;
    bool (*pack)(const MessageBuffer& message, std::uint32_t kind, std::vector<std::uint8_t>& out) = nullptr;
    std::optional<MessageBuffer> (*unpack)(BitReader& in)                                          = nullptr;
};

template <class Message>
bool packAs(const MessageBuffer& bytes, const std::uint32_t kind, std::vector<std::uint8_t>& out) {
    std::optional<Message> message = decode<Message>(bytes);
    if (!message) {
        return false;
    }
    BitWriter bits(out);
    bits.put(kind, KIND_BITS);
    PackedWriter writer(bits);
    message->describe(writer);
    bits.finish();
    return true;
}

template <class Message>
std::optional<MessageBuffer> unpackAs(BitReader& in) {
    Message      message;
    PackedReader reader(in);
    message.describe(reader);
    if (!in.finished()) {
        return std::nullopt;
    }
    return encode(std::move(message));
}

// Each message's packing, by its place in GameMessages.
const std::array<KindForm, KIND_COUNT>& kindForms() {
    static const std::array<KindForm, KIND_COUNT> FORMS = [] {
        std::array<KindForm, KIND_COUNT> forms{};
        std::size_t                      next = 0;
        forEachMessage([&](auto tag) {
            using Message = typename decltype(tag)::Type;
            forms[next++] = {Message::KIND.id, &packAs<Message>, &unpackAs<Message>};
        });
        return forms;
    }();
    return FORMS;
}

class PackedWireForm : public IWireForm {
public:
    bool pack(const std::uint8_t* const data, const std::size_t size, std::vector<std::uint8_t>& out) const override {
        const MessageBuffer message(data, data + size);
        const std::int32_t  id    = messageId(message);
        const auto&         forms = kindForms();
        for (std::uint32_t kind = 0; kind < forms.size(); ++kind) {
            if (forms[kind].id == id) {
                const std::size_t before = out.size();
                if (forms[kind].pack(message, kind, out)) {
                    return true;
                }
                out.resize(before);
                return false;
            }
        }
        return false;
    }

    std::optional<MessageBuffer> unpack(const std::uint8_t*& at, const std::uint8_t* const end) const override {
        BitReader           in(at, end);
        const std::uint32_t kind = in.get(KIND_BITS);
        if (!in.ok() || kind >= KIND_COUNT) {
            return std::nullopt;
        }
        return kindForms()[kind].unpack(in);
    }
};

}  // namespace

std::string packedWidth(const FieldRange range) {
    if (spanOf(range) > NARROW_SPAN) {
        return std::string(zigzagged(range) ? "zigzag, " : "") + "groups of " + std::to_string(GROUP_BITS) + "+1 bits";
    }
    const int bits = bitsFor(spanOf(range));
    return std::to_string(bits) + (bits == 1 ? " bit" : " bits");
}

int packedKindBits() {
    return KIND_BITS;
}

const IWireForm& gameWireForm() {
    static const PackedWireForm FORM;
    return FORM;
}
