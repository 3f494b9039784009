// The cryptographic primitives of AES entries, from the system: CNG (bcrypt.dll) in the Windows
// build, OpenSSL's libcrypto elsewhere (crypto_windows.cpp, crypto_posix.cpp). Only the primitives
// live here; the format's framing (counter layout, salt, check value) is core/aes.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "core/status.h"

namespace cv {

inline constexpr size_t kAesBlockSize = 16;
inline constexpr size_t kSha1Size = 20;

// The system's primitives, loaded once for a run and shared by its threads (every call is safe
// from several threads at once). On Windows it holds bcrypt.dll, loaded from System32 only, and
// frees it with the last owner.
class CryptoLibrary {
 public:
  // kUnsupported, naming what is missing, when the system lacks a primitive (or a test says so,
  // faults.h).
  static Status Load(std::shared_ptr<const CryptoLibrary>* out);
  ~CryptoLibrary();
  CryptoLibrary(const CryptoLibrary&) = delete;
  CryptoLibrary& operator=(const CryptoLibrary&) = delete;

  // PBKDF2 with HMAC-SHA1: `size` bytes of key from the password and the salt (each of a few
  // hundred bytes at most).
  Status DeriveKey(std::string_view password, const uint8_t* salt, size_t saltSize,
                   unsigned iterations, uint8_t* key, size_t size) const;
  // Bytes from the system's random source (a few hundred at most).
  Status Random(uint8_t* out, size_t size) const;

  struct Handles;  // what the system gave, in the file of the system

 private:
  friend class AesBlocks;
  friend class HmacSha1;
  CryptoLibrary();
  std::unique_ptr<Handles> m_handles;
};

// AES with one key over whole 16-byte blocks, each on its own (electronic code book): what counter
// mode is built on. One thread at a time; the library must outlive it.
class AesBlocks {
 public:
  AesBlocks();
  ~AesBlocks();
  AesBlocks(const AesBlocks&) = delete;
  AesBlocks& operator=(const AesBlocks&) = delete;

  // keySize 16, 24 or 32 (AES-128, -192, -256).
  Status Init(const CryptoLibrary& library, const uint8_t* key, size_t keySize);
  // Encrypts `size` bytes (a multiple of kAesBlockSize) from `in` to `out`, which may be `in`.
  Status Encrypt(const uint8_t* in, uint8_t* out, size_t size);

  struct State;

 private:
  std::unique_ptr<State> m_state;
};

// HMAC-SHA1 of a stream given in pieces. One thread at a time; the library must outlive it.
class HmacSha1 {
 public:
  HmacSha1();
  ~HmacSha1();
  HmacSha1(const HmacSha1&) = delete;
  HmacSha1& operator=(const HmacSha1&) = delete;

  Status Init(const CryptoLibrary& library, const uint8_t* key, size_t keySize);
  Status Update(const uint8_t* data, size_t size);
  // The code of everything given since Init; Init again before the next stream.
  Status Final(uint8_t code[kSha1Size]);

  struct State;

 private:
  std::unique_ptr<State> m_state;
};

}  // namespace cv
