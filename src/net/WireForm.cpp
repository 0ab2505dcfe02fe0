#include "net/WireForm.h"

namespace {

class RawWireForm : public IWireForm {
public:
    bool pack(const std::uint8_t* const message, const std::size_t size,
              std::vector<std::uint8_t>& out) const override {
        if (size == 0 || size > MAX_MESSAGE_SIZE) {
            return false;
        }
        for (std::size_t rest = size;; rest >>= 7) {
            const auto low = static_cast<std::uint8_t>(rest & 0x7f);
            if (rest < 0x80) {
                out.push_back(low);
                break;
            }
            out.push_back(static_cast<std::uint8_t>(low | 0x80));
        }
        out.insert(out.end(), message, message + size);
        return true;
    }

    std::optional<MessageBuffer> unpack(const std::uint8_t*& at, const std::uint8_t* const end) const override {
        std::size_t size = 0;
        for (int shift = 0;; shift += 7) {
            // Three groups reach far past MAX_MESSAGE_SIZE.
            if (at == end || shift > 14) {
                return std::nullopt;
            }
            const std::uint8_t group = *at++;
            size |= static_cast<std::size_t>(group & 0x7f) << shift;
            if ((group & 0x80) == 0) {
                break;
            }
        }
        if (size == 0 || size > MAX_MESSAGE_SIZE || static_cast<std::size_t>(end - at) < size) {
            return std::nullopt;
        }
        MessageBuffer message(at, at + size);
        at += size;
        return message;
    }
};

}  // namespace

const IWireForm& rawWireForm() {
    static const RawWireForm FORM;
    return FORM;
}
