#include "core/aes.h"

#include <algorithm>
#include <cstring>

#include "core/format.h"

namespace cv {
namespace {

constexpr unsigned kIterations = 1000;
constexpr size_t kFieldSize = 7;
// Key stream made per call of the AES primitive: many blocks at once, as few calls as possible.
constexpr size_t kStreamBlocks = 1024;

Status DeriveKeys(const CryptoLibrary& crypto, std::string_view password, const AesHeader& header,
                  AesKeys* keys) {
  const size_t keySize = AesKeySize(header.strength);
  uint8_t derived[2 * kAesMaxKeySize + kAesCheckSize];
  const size_t size = 2 * keySize + kAesCheckSize;
  CV_RETURN_IF_ERROR(crypto.DeriveKey(password, header.salt, AesSaltSize(header.strength),
                                      kIterations, derived, size));
  keys->strength = header.strength;
  std::memcpy(keys->encryption, derived, keySize);
  std::memcpy(keys->authentication, derived + keySize, keySize);
  std::memcpy(keys->check, derived + 2 * keySize, kAesCheckSize);
  return {};
}

}  // namespace

AesFieldState FindAesField(std::string_view extra, AesField* field) {
  AesFieldState state = AesFieldState::kAbsent;
  ForEachTagged(extra, [&](uint16_t tag, const unsigned char* d, uint16_t size) {
    if (tag != kExtraAes || state != AesFieldState::kAbsent) return;
    if (size < kFieldSize || d[2] != 'A' || d[3] != 'E' || d[4] < 1 || d[4] > 3) {
      state = AesFieldState::kDamaged;
      return;
    }
    field->vendorVersion = Get16(d);
    field->strength = AesStrength(d[4]);
    field->method = Get16(d + 5);
    state = field->vendorVersion == 1 || field->vendorVersion == 2 ? AesFieldState::kFound
                                                                   : AesFieldState::kUnsupported;
  });
  return state;
}

std::string AesExtraField(const AesField& field) {
  std::string x;
  Append16(x, kExtraAes);
  Append16(x, uint16_t(kFieldSize));
  Append16(x, field.vendorVersion);
  x += "AE";
  x += char(field.strength);
  Append16(x, field.method);
  return x;
}

Status UnlockAes(const CryptoLibrary& crypto, std::string_view password, const AesHeader& header,
                 AesKeys* keys) {
  CV_RETURN_IF_ERROR(DeriveKeys(crypto, password, header, keys));
  if (std::memcmp(keys->check, header.check, kAesCheckSize) != 0) {
    return {StatusKind::kBadPassword, "incorrect password"};
  }
  return {};
}

Status NewAesHeader(const CryptoLibrary& crypto, std::string_view password, AesStrength strength,
                    AesHeader* header, AesKeys* keys) {
  header->strength = strength;
  CV_RETURN_IF_ERROR(crypto.Random(header->salt, AesSaltSize(strength)));
  CV_RETURN_IF_ERROR(DeriveKeys(crypto, password, *header, keys));
  std::memcpy(header->check, keys->check, kAesCheckSize);
  return {};
}

Status AesCipher::Init(const CryptoLibrary& crypto, const AesKeys& keys) {
  const size_t keySize = AesKeySize(keys.strength);
  CV_RETURN_IF_ERROR(m_aes.Init(crypto, keys.encryption, keySize));
  CV_RETURN_IF_ERROR(m_mac.Init(crypto, keys.authentication, keySize));
  m_counter = 0;
  m_stream.assign(kStreamBlocks * kAesBlockSize, 0);
  m_used = m_stream.size();
  return {};
}

// The counter is a 16-byte little-endian number starting at 1, one per block of data.
Status AesCipher::Apply(uint8_t* data, size_t size) {
  while (size > 0) {
    if (m_used == m_stream.size()) {
      for (size_t b = 0; b < kStreamBlocks; ++b) {
        uint8_t* block = m_stream.data() + b * kAesBlockSize;
        Put64(block, ++m_counter);
        std::memset(block + 8, 0, 8);
      }
      CV_RETURN_IF_ERROR(m_aes.Encrypt(m_stream.data(), m_stream.data(), m_stream.size()));
      m_used = 0;
    }
    const size_t n = std::min(size, m_stream.size() - m_used);
    const uint8_t* key = m_stream.data() + m_used;
    for (size_t i = 0; i < n; ++i) data[i] ^= key[i];
    m_used += n;
    data += n;
    size -= n;
  }
  return {};
}

Status AesCipher::Encrypt(uint8_t* data, size_t size) {
  CV_RETURN_IF_ERROR(Apply(data, size));
  return m_mac.Update(data, size);
}

Status AesCipher::Decrypt(uint8_t* data, size_t size) {
  CV_RETURN_IF_ERROR(m_mac.Update(data, size));
  return Apply(data, size);
}

Status AesCipher::Finish(uint8_t code[kAesCodeSize]) {
  uint8_t full[kSha1Size];
  CV_RETURN_IF_ERROR(m_mac.Final(full));
  std::memcpy(code, full, kAesCodeSize);
  return {};
}

}  // namespace cv
