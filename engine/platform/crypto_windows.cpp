// The cryptographic primitives on Windows: CNG, from bcrypt.dll loaded at run time from System32.
// Not a static import: the engines are loaded with the executable folder searched first, where a
// planted bcrypt.dll would be taken before System32's.
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <type_traits>

#include "platform/crypto.h"
#include "platform/faults.h"

namespace cv {
namespace {

Status Failed(const char* what, NTSTATUS status) {
  char code[16];
  std::snprintf(code, sizeof code, "%08lx", static_cast<unsigned long>(status));
  return {StatusKind::kUnsupported,
          std::string("cryptography failed: ") + what + " (" + code + ")"};
}

bool Succeeded(NTSTATUS status) {
  return status >= 0;
}

PUCHAR Bytes(const void* data) {
  return static_cast<PUCHAR>(const_cast<void*>(data));
}

}  // namespace

struct CryptoLibrary::Handles {
  HMODULE module = nullptr;
  decltype(&BCryptOpenAlgorithmProvider) open = nullptr;
  decltype(&BCryptCloseAlgorithmProvider) close = nullptr;
  decltype(&BCryptSetProperty) setProperty = nullptr;
  decltype(&BCryptGenerateSymmetricKey) generateKey = nullptr;
  decltype(&BCryptDestroyKey) destroyKey = nullptr;
  decltype(&BCryptEncrypt) encrypt = nullptr;
  decltype(&BCryptCreateHash) createHash = nullptr;
  decltype(&BCryptHashData) hashData = nullptr;
  decltype(&BCryptFinishHash) finishHash = nullptr;
  decltype(&BCryptDestroyHash) destroyHash = nullptr;
  decltype(&BCryptDeriveKeyPBKDF2) pbkdf2 = nullptr;
  decltype(&BCryptGenRandom) random = nullptr;
  BCRYPT_ALG_HANDLE aes = nullptr;   // code book mode
  BCRYPT_ALG_HANDLE hmac = nullptr;  // SHA-1 with the HMAC flag, also what PBKDF2 runs on

  ~Handles() {
    if (aes) close(aes, 0);
    if (hmac) close(hmac, 0);
    if (module) FreeLibrary(module);
  }
};

CryptoLibrary::CryptoLibrary() : m_handles(std::make_unique<Handles>()) {}
CryptoLibrary::~CryptoLibrary() = default;

Status CryptoLibrary::Load(std::shared_ptr<const CryptoLibrary>* out) {
  CV_RETURN_IF_ERROR(detail::CryptoFault());
  std::shared_ptr<CryptoLibrary> library(new CryptoLibrary);
  Handles& h = *library->m_handles;
  h.module = LoadLibraryExW(L"bcrypt.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!h.module) return {StatusKind::kUnsupported, "AES is not available: no bcrypt.dll"};
  const char* missing = nullptr;
  auto find = [&](auto& function, const char* name) {
    function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
        reinterpret_cast<void*>(GetProcAddress(h.module, name)));
    if (!function && !missing) missing = name;
  };
  find(h.open, "BCryptOpenAlgorithmProvider");
  find(h.close, "BCryptCloseAlgorithmProvider");
  find(h.setProperty, "BCryptSetProperty");
  find(h.generateKey, "BCryptGenerateSymmetricKey");
  find(h.destroyKey, "BCryptDestroyKey");
  find(h.encrypt, "BCryptEncrypt");
  find(h.createHash, "BCryptCreateHash");
  find(h.hashData, "BCryptHashData");
  find(h.finishHash, "BCryptFinishHash");
  find(h.destroyHash, "BCryptDestroyHash");
  find(h.pbkdf2, "BCryptDeriveKeyPBKDF2");
  find(h.random, "BCryptGenRandom");
  if (missing) {
    return {StatusKind::kUnsupported,
            std::string("AES is not available: bcrypt.dll lacks ") + missing};
  }
  NTSTATUS s = h.open(&h.aes, BCRYPT_AES_ALGORITHM, nullptr, 0);
  if (Succeeded(s)) {
    s = h.setProperty(h.aes, BCRYPT_CHAINING_MODE, Bytes(BCRYPT_CHAIN_MODE_ECB),
                      sizeof BCRYPT_CHAIN_MODE_ECB, 0);
  }
  if (!Succeeded(s)) return Failed("AES in code book mode", s);
  s = h.open(&h.hmac, BCRYPT_SHA1_ALGORITHM, nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG);
  if (!Succeeded(s)) return Failed("HMAC-SHA1", s);
  *out = std::move(library);
  return {};
}

Status CryptoLibrary::DeriveKey(std::string_view password, const uint8_t* salt, size_t saltSize,
                                unsigned iterations, uint8_t* key, size_t size) const {
  const Handles& h = *m_handles;
  NTSTATUS s = h.pbkdf2(h.hmac, Bytes(password.data()), ULONG(password.size()), Bytes(salt),
                        ULONG(saltSize), iterations, key, ULONG(size), 0);
  return Succeeded(s) ? Status() : Failed("PBKDF2", s);
}

Status CryptoLibrary::Random(uint8_t* out, size_t size) const {
  NTSTATUS s = m_handles->random(nullptr, out, ULONG(size), BCRYPT_USE_SYSTEM_PREFERRED_RNG);
  return Succeeded(s) ? Status() : Failed("random bytes", s);
}

struct AesBlocks::State {
  const CryptoLibrary::Handles* library = nullptr;
  BCRYPT_KEY_HANDLE key = nullptr;
  ~State() {
    if (key) library->destroyKey(key);
  }
};

AesBlocks::AesBlocks() = default;
AesBlocks::~AesBlocks() = default;

Status AesBlocks::Init(const CryptoLibrary& library, const uint8_t* key, size_t keySize) {
  m_state = std::make_unique<State>();
  m_state->library = library.m_handles.get();
  // A null key object: the system allocates and frees it with the key.
  NTSTATUS s = m_state->library->generateKey(library.m_handles->aes, &m_state->key, nullptr, 0,
                                             Bytes(key), ULONG(keySize), 0);
  return Succeeded(s) ? Status() : Failed("AES key", s);
}

Status AesBlocks::Encrypt(const uint8_t* in, uint8_t* out, size_t size) {
  while (size > 0) {
    const ULONG n = ULONG(std::min<size_t>(size, ULONG_MAX - kAesBlockSize + 1));
    ULONG written = 0;
    NTSTATUS s = m_state->library->encrypt(m_state->key, Bytes(in), n, nullptr, nullptr, 0, out, n,
                                           &written, 0);
    if (!Succeeded(s) || written != n) return Failed("AES", s);
    in += n;
    out += n;
    size -= n;
  }
  return {};
}

struct HmacSha1::State {
  const CryptoLibrary::Handles* library = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  ~State() {
    if (hash) library->destroyHash(hash);
  }
};

HmacSha1::HmacSha1() = default;
HmacSha1::~HmacSha1() = default;

Status HmacSha1::Init(const CryptoLibrary& library, const uint8_t* key, size_t keySize) {
  m_state = std::make_unique<State>();
  m_state->library = library.m_handles.get();
  NTSTATUS s = m_state->library->createHash(library.m_handles->hmac, &m_state->hash, nullptr, 0,
                                            Bytes(key), ULONG(keySize), 0);
  return Succeeded(s) ? Status() : Failed("HMAC key", s);
}

Status HmacSha1::Update(const uint8_t* data, size_t size) {
  while (size > 0) {
    const ULONG n = ULONG(std::min<size_t>(size, ULONG_MAX));
    NTSTATUS s = m_state->library->hashData(m_state->hash, Bytes(data), n, 0);
    if (!Succeeded(s)) return Failed("HMAC", s);
    data += n;
    size -= n;
  }
  return {};
}

Status HmacSha1::Final(uint8_t code[kSha1Size]) {
  NTSTATUS s = m_state->library->finishHash(m_state->hash, code, kSha1Size, 0);
  return Succeeded(s) ? Status() : Failed("HMAC", s);
}

}  // namespace cv
