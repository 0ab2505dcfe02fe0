// Demo files of any content. The first byte chooses how the rest is read:
// 0 as it is, which almost never passes the checksum; anything else sealed
// anew first, so that what the records say is read, and played, too.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "rules/Demo.h"
#include "rules/Replay.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* const data, const std::size_t size) {
    static SilentPlatform platform;
    setPlatform(&platform);
    if (size == 0) {
        return 0;
    }
    std::vector<std::uint8_t> bytes(data + 1, data + size);
    if (data[0] != 0) {
        resealDemo(bytes);
    }
    std::variant<Demo, std::string> read = readDemo(bytes.data(), bytes.size());
    if (auto* const demo = std::get_if<Demo>(&read)) {
        // A fuzzer's demo is short: a few thousand frames say all it has to say.
        demo->frames.resize(std::min<std::size_t>(demo->frames.size(), 2000));
        if (!replay().start(std::move(*demo))) {
            replay().seek(1e9);
            (void)replay().verdict();
        }
        replay().stop();
    }
    return 0;
}
