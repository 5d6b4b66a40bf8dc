#include "base/Ed25519.h"

#include <sodium.h>

#include "base/HexText.h"

namespace {

constexpr char kKeyPrefix[] = "ed25519:";
constexpr char kSecretPrefix[] = "ed25519-secret:";

static_assert(crypto_sign_PUBLICKEYBYTES == 32 && crypto_sign_SECRETKEYBYTES == 64 &&
                  crypto_sign_BYTES == 64,
              "Ed25519 sizes");

// Safe to call from any thread, any number of times.
bool LibraryReady() { return sodium_init() >= 0; }

std::string Trimmed(const std::string& text) {
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

template <size_t N>
bool ParsePrefixed(const std::string& text, const char* prefix, std::array<uint8_t, N>* bytes) {
    std::string body = Trimmed(text);
    size_t prefixLength = std::char_traits<char>::length(prefix);
    if (body.compare(0, prefixLength, prefix) != 0) return false;
    return ParseHexText(body.substr(prefixLength), bytes->data(), N);
}

}  // namespace

bool MakeEd25519KeyPair(Ed25519PublicKey* publicKey, Ed25519SecretKey* secretKey) {
    if (!LibraryReady()) return false;
    return crypto_sign_keypair(publicKey->data(), secretKey->data()) == 0;
}

Ed25519Signature SignEd25519(const Ed25519SecretKey& secretKey, const void* message,
                             size_t length) {
    Ed25519Signature signature{};
    if (!LibraryReady()) return signature;
    crypto_sign_detached(signature.data(), nullptr, static_cast<const unsigned char*>(message),
                         length, secretKey.data());
    return signature;
}

bool VerifyEd25519(const Ed25519PublicKey& publicKey, const void* message, size_t length,
                   const Ed25519Signature& signature) {
    if (!LibraryReady()) return false;
    return crypto_sign_verify_detached(signature.data(),
                                       static_cast<const unsigned char*>(message), length,
                                       publicKey.data()) == 0;
}

Ed25519PublicKey PublicKeyOf(const Ed25519SecretKey& secretKey) {
    Ed25519PublicKey key{};
    crypto_sign_ed25519_sk_to_pk(key.data(), secretKey.data());
    return key;
}

std::string PublicKeyText(const Ed25519PublicKey& key) {
    return kKeyPrefix + HexText(key.data(), key.size());
}

std::string SignatureText(const Ed25519Signature& signature) {
    return kKeyPrefix + HexText(signature.data(), signature.size());
}

std::string SecretKeyText(const Ed25519SecretKey& key) {
    return kSecretPrefix + HexText(key.data(), key.size());
}

bool ParsePublicKeyText(const std::string& text, Ed25519PublicKey* key) {
    return ParsePrefixed(text, kKeyPrefix, key);
}

bool ParseSignatureText(const std::string& text, Ed25519Signature* signature) {
    return ParsePrefixed(text, kKeyPrefix, signature);
}

bool ParseSecretKeyText(const std::string& text, Ed25519SecretKey* key) {
    return ParsePrefixed(text, kSecretPrefix, key);
}
