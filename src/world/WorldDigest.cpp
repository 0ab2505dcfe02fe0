#include "world/WorldDigest.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "world/Avatar.h"
#include "world/Powerup.h"
#include "world/World.h"

namespace {

using Fields = std::array<std::int32_t, 9>;

// FNV-1a over the fields' little-endian bytes.
std::uint64_t mix(std::uint64_t hash, const std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
        hash ^= (bits >> shift) & 0xffu;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

}  // namespace

std::uint64_t worldDigest(const CWorld& world) {
    std::vector<Fields> entries;
    for (const auto& object : world.getObjects()) {
        if (object->removed) {
            continue;
        }
        if (const auto* const avatar = objectAs<Avatar>(object.get())) {
            entries.push_back({0, avatar->id, avatar->pos.x, avatar->pos.y, avatar->hp, avatar->score, avatar->ammo,
                               avatar->kills, avatar->deaths});
        } else if (const auto* const powerup = objectAs<Powerup>(object.get())) {
            entries.push_back({1, powerup->id, powerup->pos.x, powerup->pos.y, powerup->type, 0, 0, 0, 0});
        }
    }
    std::sort(entries.begin(), entries.end());
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const Fields& entry : entries) {
        for (const std::int32_t field : entry) {
            hash = mix(hash, field);
        }
    }
    return hash;
}

std::string digestText(const std::uint64_t digest) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(digest));
    return text;
}
