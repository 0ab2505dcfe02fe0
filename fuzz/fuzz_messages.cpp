// Every game message's decoder on arbitrary bytes: what a description
// accepts must encode back to exactly the bytes it came from, so there is
// one way to write each message and nothing in it goes unread; and its
// packed form must restore those bytes exactly.

#include <cstdlib>

#include "rules/MessageCodec.h"
#include "rules/PackedForm.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* const data, const std::size_t size) {
    const MessageBuffer bytes(data, data + size);
    int                 accepted = 0;
    forEachMessage([&](auto tag) {
        using Message = typename decltype(tag)::Type;
        if (const std::optional<Message> message = decode<Message>(bytes)) {
            ++accepted;
            if (encode(*message) != bytes) {
                std::abort();
            }
            std::vector<std::uint8_t> packed;
            if (!gameWireForm().pack(bytes.data(), bytes.size(), packed)) {
                std::abort();
            }
            const std::uint8_t* at = packed.data();
            if (gameWireForm().unpack(at, packed.data() + packed.size()) != bytes ||
                at != packed.data() + packed.size()) {
                std::abort();
            }
        }
    });
    const Dispatch dispatched = dispatchMessage(bytes, [](const auto& /*message*/) {});
    if ((dispatched == Dispatch::handled) != (accepted == 1) || accepted > 1) {
        std::abort();  // the dispatch and the decoders disagree, or two kinds share an id
    }
    return 0;
}
