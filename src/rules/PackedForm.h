#pragma once

// The game messages' wire form, derived from their descriptions
// (rules/GameMessages.h): each field takes only the bits its range needs.
//
//   the kind            KIND_BITS, the message's place in GameMessages
//   v.number, narrow    the value less the range's minimum, in just enough
//                       bits for the range (a flag 1 bit, a cell 6 bits)
//   v.number, wide      the value less the minimum (zigzagged when the range
//                       has no minimum) in groups of five bits, each group
//                       followed by a bit that says whether another comes
//   v.text              the byte count in the bits of its range, then the
//                       bytes (a zero-terminated text's zero is implied)
//   v.list              the count in the bits of its range, then each element
//
// Bits fill each byte from its lowest bit up, and each message ends on a
// byte boundary, so a bundle is its messages one after another. Restoring a
// message checks every field against its description, and what is restored
// is the message's exact specified bytes (docs/network-protocol.md has a
// worked example).

#include <string>

#include "net/WireForm.h"
#include "rules/GameMessages.h"

// The form installed into the game's Server and Client.
const IWireForm& gameWireForm();

// How a number field of the range is packed, for the protocol document:
// "6 bits", or "groups of 5 bits" for a wide range.
std::string packedWidth(FieldRange range);
// The bits of a message's kind, its first field.
int packedKindBits();
