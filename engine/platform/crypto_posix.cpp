// The cryptographic primitives outside Windows: OpenSSL's libcrypto. The algorithms are fetched
// once per library, so that each entry's key and code cost no look-up.
// Key derivation runs SHA-1's compression directly: the low-level SHA_CTX functions are deprecated
// in OpenSSL 3, but they are what lets HMAC's keyed states be computed once per password.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/crypto.h"
#include "platform/faults.h"

namespace cv {
namespace {

Status Failed(const char* what) {
  return {StatusKind::kUnsupported, std::string("cryptography failed: ") + what};
}

}  // namespace

struct CryptoLibrary::Handles {
  EVP_CIPHER* aes[3] = {};  // 128-, 192- and 256-bit keys, code book mode
  EVP_MAC* hmac = nullptr;
  ~Handles() {
    for (EVP_CIPHER* c : aes) EVP_CIPHER_free(c);
    EVP_MAC_free(hmac);
  }
};

CryptoLibrary::CryptoLibrary() : m_handles(std::make_unique<Handles>()) {}
CryptoLibrary::~CryptoLibrary() = default;

Status CryptoLibrary::Load(std::shared_ptr<const CryptoLibrary>* out) {
  CV_RETURN_IF_ERROR(detail::CryptoFault());
  std::shared_ptr<CryptoLibrary> library(new CryptoLibrary);
  Handles& h = *library->m_handles;
  const char* names[3] = {"AES-128-ECB", "AES-192-ECB", "AES-256-ECB"};
  for (int i = 0; i < 3; ++i) {
    h.aes[i] = EVP_CIPHER_fetch(nullptr, names[i], nullptr);
    if (!h.aes[i]) {
      return {StatusKind::kUnsupported, std::string("libcrypto lacks ") + names[i]};
    }
  }
  h.hmac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
  if (!h.hmac) return {StatusKind::kUnsupported, "libcrypto lacks HMAC"};
  *out = std::move(library);
  return {};
}

// PBKDF2-HMAC-SHA1 with the inner and outer keyed states made once: each iteration then costs two
// SHA-1 compressions instead of the four (and the context set-up) of a fresh HMAC.
Status CryptoLibrary::DeriveKey(std::string_view password, const uint8_t* salt, size_t saltSize,
                                unsigned iterations, uint8_t* key, size_t size) const {
  constexpr size_t kBlock = SHA_CBLOCK;
  uint8_t pad[kBlock] = {};
  if (password.size() > kBlock) {
    SHA1(reinterpret_cast<const uint8_t*>(password.data()), password.size(), pad);
  } else {
    std::memcpy(pad, password.data(), password.size());
  }
  SHA_CTX inner, outer;
  uint8_t ipad[kBlock], opad[kBlock];
  for (size_t i = 0; i < kBlock; ++i) {
    ipad[i] = pad[i] ^ 0x36;
    opad[i] = pad[i] ^ 0x5c;
  }
  if (SHA1_Init(&inner) != 1 || SHA1_Update(&inner, ipad, kBlock) != 1 || SHA1_Init(&outer) != 1 ||
      SHA1_Update(&outer, opad, kBlock) != 1) {
    return Failed("PBKDF2");
  }
  // HMAC of `data` from the keyed states.
  auto hmac = [&](const uint8_t* first, size_t firstSize, const uint8_t* second, size_t secondSize,
                  uint8_t out[kSha1Size]) {
    SHA_CTX c = inner;
    SHA1_Update(&c, first, firstSize);
    if (secondSize) SHA1_Update(&c, second, secondSize);
    SHA1_Final(out, &c);
    c = outer;
    SHA1_Update(&c, out, kSha1Size);
    SHA1_Final(out, &c);
  };
  for (uint32_t block = 1; size > 0; ++block) {
    const uint8_t index[4] = {uint8_t(block >> 24), uint8_t(block >> 16), uint8_t(block >> 8),
                              uint8_t(block)};
    uint8_t u[kSha1Size], t[kSha1Size];
    hmac(salt, saltSize, index, sizeof index, u);
    std::memcpy(t, u, kSha1Size);
    for (unsigned i = 1; i < iterations; ++i) {
      hmac(u, kSha1Size, nullptr, 0, u);
      for (size_t k = 0; k < kSha1Size; ++k) t[k] ^= u[k];
    }
    const size_t n = std::min(size, kSha1Size);
    std::memcpy(key, t, n);
    key += n;
    size -= n;
  }
  return {};
}

Status CryptoLibrary::Random(uint8_t* out, size_t size) const {
  if (RAND_bytes(out, int(size)) != 1) return Failed("random bytes");
  return {};
}

struct AesBlocks::State {
  EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
  ~State() { EVP_CIPHER_CTX_free(context); }
};

AesBlocks::AesBlocks() = default;
AesBlocks::~AesBlocks() = default;

Status AesBlocks::Init(const CryptoLibrary& library, const uint8_t* key, size_t keySize) {
  if (keySize != 16 && keySize != 24 && keySize != 32) return Failed("AES key size");
  m_state = std::make_unique<State>();
  const EVP_CIPHER* cipher = library.m_handles->aes[(keySize - 16) / 8];
  if (!m_state->context ||
      EVP_EncryptInit_ex2(m_state->context, cipher, key, nullptr, nullptr) != 1 ||
      EVP_CIPHER_CTX_set_padding(m_state->context, 0) != 1) {
    return Failed("AES key");
  }
  return {};
}

Status AesBlocks::Encrypt(const uint8_t* in, uint8_t* out, size_t size) {
  while (size > 0) {
    const int n = int(std::min<size_t>(size, INT_MAX - kAesBlockSize + 1));
    int written = 0;
    if (EVP_EncryptUpdate(m_state->context, out, &written, in, n) != 1 || written != n) {
      return Failed("AES");
    }
    in += n;
    out += n;
    size -= size_t(n);
  }
  return {};
}

struct HmacSha1::State {
  EVP_MAC_CTX* context = nullptr;
  ~State() { EVP_MAC_CTX_free(context); }
};

HmacSha1::HmacSha1() = default;
HmacSha1::~HmacSha1() = default;

Status HmacSha1::Init(const CryptoLibrary& library, const uint8_t* key, size_t keySize) {
  m_state = std::make_unique<State>();
  m_state->context = EVP_MAC_CTX_new(library.m_handles->hmac);
  char digest[] = "SHA1";
  const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                               OSSL_PARAM_END};
  if (!m_state->context || EVP_MAC_init(m_state->context, key, keySize, params) != 1) {
    return Failed("HMAC key");
  }
  return {};
}

Status HmacSha1::Update(const uint8_t* data, size_t size) {
  if (EVP_MAC_update(m_state->context, data, size) != 1) return Failed("HMAC");
  return {};
}

Status HmacSha1::Final(uint8_t code[kSha1Size]) {
  size_t written = 0;
  if (EVP_MAC_final(m_state->context, code, &written, kSha1Size) != 1 || written != kSha1Size) {
    return Failed("HMAC");
  }
  return {};
}

}  // namespace cv
