// Traditional PKWARE encryption (the application note's "traditional" stream cipher). Weak by
// today's standards, but it is what ZIP tools write when asked for a password without AES.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace cv {

class ZipCrypto {
 public:
  // Sets the keys from the password; call again to start over.
  void Init(std::string_view password);
  void Decrypt(unsigned char* data, size_t size);
  void Encrypt(unsigned char* data, size_t size);

  // Decrypts the 12-byte encryption header in place and tells whether its last byte equals
  // `check` (the CRC's high byte, or the DOS time's high byte for entries with a data
  // descriptor). A wrong password passes this test by chance once in 256 tries; the CRC of the
  // data catches the rest.
  bool DecryptHeader(unsigned char* header12, uint8_t check);

 private:
  uint8_t StreamByte() const;
  void Update(uint8_t plain);

  uint32_t m_key0 = 0;
  uint32_t m_key1 = 0;
  uint32_t m_key2 = 0;
};

}  // namespace cv
