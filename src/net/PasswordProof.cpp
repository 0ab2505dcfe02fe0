#include "net/PasswordProof.h"

#include <sodium.h>

namespace {

bool sodiumReady() {
    static const bool READY = sodium_init() >= 0;
    return READY;
}

static_assert(sizeof(ProofSalt) == crypto_pwhash_SALTBYTES, "the salt is what crypto_pwhash takes");
static_assert(sizeof(ProofKey) == crypto_auth_KEYBYTES, "the key is what crypto_auth takes");
static_assert(sizeof(PasswordHash) == crypto_auth_BYTES, "the answer is what crypto_auth makes");

}  // namespace

ProofSalt randomSalt() {
    ProofSalt salt{};
    if (sodiumReady()) {
        randombytes_buf(salt.data(), salt.size());
    }
    return salt;
}

ProofNonce randomNonce() {
    ProofNonce nonce{};
    if (sodiumReady()) {
        randombytes_buf(nonce.data(), nonce.size());
    }
    return nonce;
}

std::optional<ProofKey> proofKey(const std::string& password, const ProofSalt& salt) {
    ProofKey key{};
    if (!sodiumReady() || crypto_pwhash(key.data(), key.size(), password.data(), password.size(), salt.data(),
                                        crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE,
                                        crypto_pwhash_ALG_DEFAULT) != 0) {
        return std::nullopt;
    }
    return key;
}

PasswordHash answerTo(const ProofNonce& challenge, const ProofKey& key) {
    PasswordHash answer{};
    crypto_auth(answer.data(), challenge.data(), challenge.size(), key.data());
    return answer;
}

bool isRightAnswer(const PasswordHash& answer, const ProofNonce& challenge, const ProofKey& key) {
    return crypto_auth_verify(answer.data(), challenge.data(), challenge.size(), key.data()) == 0;
}
