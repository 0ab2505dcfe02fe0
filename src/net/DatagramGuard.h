#pragma once

#include <enet/enet.h>

#include <cstddef>
#include <cstdint>
#include <functional>

// ENet sets aside, for the first fragment of a packet, the whole packet and
// a bitmap of its fragments as large as the fragment count the sender
// claims: up to 128 KiB for a packet of 64 KiB, and its cap on what a peer
// may hold waiting counts only the packet. A few hundred bytes of first
// fragments that never complete could take a host's memory by the
// gigabyte. Every datagram is looked at before ENet reads it: a fragment
// that claims more pieces than its packet could be cut into, by any sender
// ENet would be, is refused with its whole datagram.

// Whether the datagram may go on to ENet. `scratch` holds a decompressed
// datagram (ENET_PROTOCOL_MAXIMUM_MTU bytes).
bool isDatagramSound(const std::uint8_t* data, std::size_t size, void* rangeCoder, std::uint8_t* scratch);

// For tests: sees every datagram any host of the process receives, on its
// network thread, before ENet reads it (null: nobody).
void watchDatagrams(std::function<void(const std::uint8_t* data, std::size_t size)> watcher);

// Installs the look as the host's intercept, and caps what each peer may
// hold in unfinished packets.
void guardDatagrams(ENetHost* host, std::size_t maximumWaitingBytes);
