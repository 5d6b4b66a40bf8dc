#pragma once
// Ed25519 signatures (libsodium's): the publisher signs a package's configuration document
// with a secret key, and every copy stamped with the matching public key checks it.
//
// Text forms, so that keys and signatures travel in documents and stamps and people can
// compare them: "ed25519:" followed by the bytes in lower-case hexadecimal.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

using Ed25519PublicKey = std::array<uint8_t, 32>;
using Ed25519SecretKey = std::array<uint8_t, 64>;
using Ed25519Signature = std::array<uint8_t, 64>;

// False only when the library cannot start (no source of randomness).
bool MakeEd25519KeyPair(Ed25519PublicKey* publicKey, Ed25519SecretKey* secretKey);
Ed25519Signature SignEd25519(const Ed25519SecretKey& secretKey, const void* message,
                             size_t length);
bool VerifyEd25519(const Ed25519PublicKey& publicKey, const void* message, size_t length,
                   const Ed25519Signature& signature);
// The public half kept inside a secret key.
Ed25519PublicKey PublicKeyOf(const Ed25519SecretKey& secretKey);

std::string PublicKeyText(const Ed25519PublicKey& key);
std::string SignatureText(const Ed25519Signature& signature);
std::string SecretKeyText(const Ed25519SecretKey& key);
// Each takes its text with blanks and line ends around it; false for anything else.
bool ParsePublicKeyText(const std::string& text, Ed25519PublicKey* key);
bool ParseSignatureText(const std::string& text, Ed25519Signature* signature);
bool ParseSecretKeyText(const std::string& text, Ed25519SecretKey* key);
