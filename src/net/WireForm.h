#pragma once

// How one message travels between two ENet hosts. The game's messages
// travel packed by their descriptions (rules/PackedForm.h), restored to
// their exact bytes before anyone sees them; the network's own tests, which
// carry any bytes at all, use the raw form.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "net/NetTypes.h"

class IWireForm {
public:
    virtual ~IWireForm() = default;

    // Appends the message's form to `out`. False, with `out` as it was, for
    // bytes this form cannot carry: a sender's mistake, never sent.
    virtual bool pack(const std::uint8_t* message, std::size_t size, std::vector<std::uint8_t>& out) const = 0;

    // Restores the message whose form starts at `at`, moving `at` past it.
    // Nothing for bytes that are not one: hostile, and the rest of the
    // packet cannot be read either.
    virtual std::optional<MessageBuffer> unpack(const std::uint8_t*& at, const std::uint8_t* end) const = 0;
};

// Any bytes up to MAX_MESSAGE_SIZE, behind their length as a variable-length integer.
const IWireForm& rawWireForm();
