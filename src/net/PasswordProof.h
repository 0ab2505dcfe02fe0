#pragma once

// How a player proves it knows a private game's password without the
// password, or anything a listener could replay, crossing the network. The
// host sends a salt and a fresh challenge; the player answers with a keyed
// hash of the challenge (libsodium's crypto_auth) under a key it derives
// from the password and the salt (crypto_pwhash), so that every guess a
// listener tries offline costs it a slow, memory-hard derivation.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

using ProofSalt    = std::array<std::uint8_t, 16>;
using ProofNonce   = std::array<std::uint8_t, 32>;
using ProofKey     = std::array<std::uint8_t, 32>;
using PasswordHash = std::array<std::uint8_t, 32>;

// Random bytes fit for a salt or a challenge.
ProofSalt  randomSalt();
ProofNonce randomNonce();

// The key the password and the salt make; nothing when the library could not
// (it needs some 64 MiB for a moment).
std::optional<ProofKey> proofKey(const std::string& password, const ProofSalt& salt);

// The answer to a challenge, and whether an answer is the right one (in
// constant time).
PasswordHash answerTo(const ProofNonce& challenge, const ProofKey& key);
bool         isRightAnswer(const PasswordHash& answer, const ProofNonce& challenge, const ProofKey& key);
