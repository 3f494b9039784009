// Entries encrypted with AES (method 99): the extra field 0x9901 that describes them, the frame
// around their data (salt and password check value before it, authentication code after it), the
// keys derived from the password, and counter-mode encryption with the authentication code over
// the encrypted bytes. The primitives come from the platform (platform/crypto.h); this is the
// format's framing only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/status.h"
#include "platform/crypto.h"

namespace cv {

inline constexpr uint16_t kExtraAes = 0x9901;
inline constexpr size_t kAesCheckSize = 2;  // password check value, after the salt
inline constexpr size_t kAesCodeSize = 10;  // authentication code, after the data
inline constexpr size_t kAesMaxSaltSize = 16;
inline constexpr size_t kAesMaxKeySize = 32;

// Key sizes as the extra field numbers them.
enum class AesStrength : uint8_t { k128 = 1, k192 = 2, k256 = 3 };

inline size_t AesKeySize(AesStrength s) {
  return 8 + 8 * size_t(s);
}
inline size_t AesSaltSize(AesStrength s) {
  return 4 + 4 * size_t(s);
}
// The bytes the frame adds to the data: salt, check value and authentication code.
inline size_t AesOverhead(AesStrength s) {
  return AesSaltSize(s) + kAesCheckSize + kAesCodeSize;
}
inline unsigned AesBits(AesStrength s) {
  return unsigned(AesKeySize(s) * 8);
}

struct AesField {
  // 1: the CRC is stored and checked; 2: the CRC field is 0 and not checked.
  uint16_t vendorVersion = 1;
  AesStrength strength = AesStrength::k256;
  uint16_t method = 0;  // the method of the data inside
};

// The vendor version an entry of `size` bytes is written with: 2, without CRC, below 20 bytes,
// where the CRC would tell much of the content; 1, with CRC, for the rest.
inline uint16_t AesVendorVersion(uint64_t size) {
  return size < 20 ? 2 : 1;
}

enum class AesFieldState {
  kAbsent,
  kDamaged,      // too short, or an unknown key size
  kUnsupported,  // a vendor version other than 1 and 2
  kFound,
};
// Reads the AES field from the blocks of an extra field.
AesFieldState FindAesField(std::string_view extra, AesField* field);
// The AES field as an extra-field block.
std::string AesExtraField(const AesField& field);

// The start of an entry's data: the salt and the password check value.
struct AesHeader {
  AesStrength strength = AesStrength::k256;
  uint8_t salt[kAesMaxSaltSize] = {};
  uint8_t check[kAesCheckSize] = {};
};

// The keys of one entry, derived from the password and its salt.
struct AesKeys {
  AesStrength strength = AesStrength::k256;
  uint8_t encryption[kAesMaxKeySize] = {};
  uint8_t authentication[kAesMaxKeySize] = {};
  uint8_t check[kAesCheckSize] = {};
};

// Derives the keys of the entry whose header is given; kBadPassword when the password's check
// value is not the header's (a wrong password: one in 65,536 passes this test, and its
// authentication code then fails).
Status UnlockAes(const CryptoLibrary& crypto, std::string_view password, const AesHeader& header,
                 AesKeys* keys);
// A new header for an entry (a salt from the system's random source) and its keys.
Status NewAesHeader(const CryptoLibrary& crypto, std::string_view password, AesStrength strength,
                    AesHeader* header, AesKeys* keys);

// Counter-mode encryption of one entry's data, in pieces of any size, with the authentication
// code over the encrypted bytes. One thread at a time; the library must outlive it.
class AesCipher {
 public:
  Status Init(const CryptoLibrary& crypto, const AesKeys& keys);
  // In place: encrypts, then authenticates what it wrote.
  Status Encrypt(uint8_t* data, size_t size);
  // In place: authenticates what it reads, then decrypts it.
  Status Decrypt(uint8_t* data, size_t size);
  // Authenticates without decrypting (the rest of damaged data).
  Status Authenticate(const uint8_t* data, size_t size) { return m_mac.Update(data, size); }
  // The authentication code of all the encrypted bytes.
  Status Finish(uint8_t code[kAesCodeSize]);

 private:
  Status Apply(uint8_t* data, size_t size);

  AesBlocks m_aes;
  HmacSha1 m_mac;
  uint64_t m_counter = 0;         // the last counter value encrypted
  std::vector<uint8_t> m_stream;  // key stream: encrypted counter blocks
  size_t m_used = 0;              // bytes of m_stream already applied
};

}  // namespace cv
