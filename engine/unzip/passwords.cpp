#include "unzip/passwords.h"

#include <cstring>

#include "core/format.h"

namespace cv {
namespace {
constexpr int kTries = 3;
constexpr size_t kBufferSize = 256;
}  // namespace

bool Passwords::Find(const Entry& e, const unsigned char* header, ZipCrypto* keys, bool* asked) {
  *asked = false;
  // With a data descriptor the CRC is not known when the header is written: the check byte is the
  // DOS time's high byte instead.
  uint8_t check = (e.flags & kFlagDataDescriptor) ? uint8_t(e.dosTime >> 8) : uint8_t(e.crc >> 24);
  auto fits = [&](const std::string& password) {
    unsigned char copy[kEncryptionHeaderSize];
    std::memcpy(copy, header, sizeof copy);
    keys->Init(password);
    return keys->DecryptHeader(copy, check);
  };
  if (m_have && fits(m_password)) return true;
  for (int attempt = 0; attempt < kTries; ++attempt) {
    if (!m_callbacks || !m_callbacks->password) break;
    char buffer[kBufferSize] = {};
    const char* prompt = attempt == 0 ? "Enter password:" : "Incorrect password, enter again:";
    if (m_callbacks->password(buffer, int(sizeof buffer), prompt, e.name.c_str()) != 0) break;
    *asked = true;
    std::string password(buffer, strnlen(buffer, sizeof buffer));
    if (fits(password)) {
      m_password = password;
      m_have = true;
      return true;
    }
  }
  return false;
}

}  // namespace cv
