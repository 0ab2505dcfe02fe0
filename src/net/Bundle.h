#pragma once

// A bundle: the messages one peer is sent in a frame, packed one after
// another into one packet (one reliable ENet command, one acknowledgement).
// It is split only where it would outgrow a datagram, and where the
// reliability of the messages changes, so that order is always kept.

#include <enet/enet.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "net/WireForm.h"

class BundleBuilder {
public:
    // Adds one message, already in its wire form; `urgent` for any but a
    // low-priority send. When the bundle so far must leave first (the
    // message would take it past `limit` bytes, or differs in reliability),
    // returns it as a packet; null otherwise.
    ENetPacket* add(const std::uint8_t* packed, std::size_t size, bool reliable, bool urgent, std::size_t limit);

    // At the end of a frame: whether the bundle leaves now. One of only
    // low-priority messages, smaller than the headers its datagram would
    // carry, waits one frame for more: a quiet frame's few state reports do
    // not cost a datagram of headers each.
    bool leavesAtFrameEnd();

    // The bundle as a packet, leaving the builder empty; null when empty.
    ENetPacket* take();

    bool empty() const { return bytes.size() <= 1; }

private:
    std::vector<std::uint8_t> bytes;  // the packet kind, then the messages
    bool                      reliable   = true;
    bool                      urgent     = false;
    int                       framesHeld = 0;
};

// The largest bundle for a peer: what fits one datagram of its path.
std::size_t bundleLimit(const ENetPeer& peer);

// Restores each message of a bundle's payload (the bytes after the packet
// kind) in order, appending them to `messages`. False when one is not a
// message of the form, or larger than MAX_MESSAGE_SIZE: those before it
// are kept, it and the rest dropped.
bool readBundle(const IWireForm& form, const std::uint8_t* payload, std::size_t size,
                std::vector<MessageBuffer>& messages);
