#include "core/crypto.h"

#include <zlib.h>

#include "core/format.h"

namespace cv {
namespace {
const z_crc_t* const g_crcTable = get_crc_table();

uint32_t CrcStep(uint32_t crc, uint8_t b) {
  return g_crcTable[(crc ^ b) & 0xff] ^ (crc >> 8);
}
}  // namespace

void ZipCrypto::Init(std::string_view password) {
  m_key0 = 0x12345678;
  m_key1 = 0x23456789;
  m_key2 = 0x34567890;
  for (char c : password) Update(uint8_t(c));
}

uint8_t ZipCrypto::StreamByte() const {
  // Unsigned arithmetic: the 16-bit product overflows an int.
  unsigned t = (m_key2 | 2) & 0xffff;
  return uint8_t((t * (t ^ 1)) >> 8);
}

void ZipCrypto::Update(uint8_t plain) {
  m_key0 = CrcStep(m_key0, plain);
  m_key1 = (m_key1 + (m_key0 & 0xff)) * 134775813 + 1;
  m_key2 = CrcStep(m_key2, uint8_t(m_key1 >> 24));
}

void ZipCrypto::Decrypt(unsigned char* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    uint8_t plain = data[i] ^ StreamByte();
    Update(plain);
    data[i] = plain;
  }
}

void ZipCrypto::Encrypt(unsigned char* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    uint8_t plain = data[i];
    data[i] = plain ^ StreamByte();
    Update(plain);
  }
}

bool ZipCrypto::DecryptHeader(unsigned char* header12, uint8_t check) {
  Decrypt(header12, kEncryptionHeaderSize);
  return header12[kEncryptionHeaderSize - 1] == check;
}

}  // namespace cv
