#pragma once

#include <cstdint>
#include <string>

class CWorld;

// A fingerprint of what every machine of one game must agree on: each
// avatar's id, cell, hit points, score and ammunition, and each powerup's
// id, cell and type. Bullets and timers are left out: every machine flies
// its own bullets and counts time on its own clock. Two machines holding
// the same world get the same digest, whatever order they made objects in.
std::uint64_t worldDigest(const CWorld& world);

// The digest as 16 hexadecimal digits.
std::string digestText(std::uint64_t digest);
