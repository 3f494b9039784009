#include "unzip/encryption.h"

#include <cstring>

#include "core/format.h"

namespace cv {
namespace {
constexpr int kTries = 3;
constexpr size_t kBufferSize = 256;
}  // namespace

Status Unlocker::Find(const std::string& name, bool tryLast,
                      const std::function<bool(const std::string&)>& fits) {
  if (tryLast && m_have && fits(m_password)) return {};
  bool asked = false;
  for (int attempt = 0; attempt < kTries; ++attempt) {
    if (!m_callbacks || !m_callbacks->password) break;
    char buffer[kBufferSize] = {};
    const char* prompt = attempt == 0 ? "Enter password:" : "Incorrect password, enter again:";
    if (m_callbacks->password(buffer, int(sizeof buffer), prompt, name.c_str()) != 0) break;
    asked = true;
    std::string password(buffer, strnlen(buffer, sizeof buffer));
    if (fits(password)) {
      m_password = password;
      m_have = true;
      return {};
    }
  }
  return {StatusKind::kBadPassword, asked ? "incorrect password" : "no password given"};
}

Status Unlocker::Unlock(const Entry& e, const AesField* aes, DecodeRequest* r) {
  if (!aes) {
    if (r->compressedSize < kEncryptionHeaderSize) {
      return {StatusKind::kBadEntry, "encrypted data shorter than its header"};
    }
    unsigned char header[kEncryptionHeaderSize];
    Status read = r->archive->ReadExactAt(r->dataOffset, header, sizeof header);
    if (!read.ok()) return {StatusKind::kBadEntry, read.message()};
    // With a data descriptor the CRC is not known when the header is written: the check byte is
    // the DOS time's high byte instead.
    const uint8_t check =
        (e.flags & kFlagDataDescriptor) ? uint8_t(e.dosTime >> 8) : uint8_t(e.crc >> 24);
    CV_RETURN_IF_ERROR(Find(e.name, /*tryLast=*/true, [&](const std::string& password) {
      unsigned char copy[kEncryptionHeaderSize];
      std::memcpy(copy, header, sizeof copy);
      r->keys.Init(password);
      return r->keys.DecryptHeader(copy, check);
    }));
    r->cipher = Cipher::kTraditional;
    r->dataOffset += kEncryptionHeaderSize;
    r->compressedSize -= kEncryptionHeaderSize;
    return {};
  }
  if (!m_cryptoLoaded) {
    m_cryptoStatus = CryptoLibrary::Load(&m_crypto);
    m_cryptoLoaded = true;
  }
  CV_RETURN_IF_ERROR(m_cryptoStatus);
  const size_t saltSize = AesSaltSize(aes->strength);
  if (r->compressedSize < AesOverhead(aes->strength)) {
    return {StatusKind::kBadEntry, "encrypted data shorter than its salt and codes"};
  }
  AesHeader& header = r->aesHeader;
  header.strength = aes->strength;
  uint8_t frame[kAesMaxSaltSize + kAesCheckSize];
  Status read = r->archive->ReadExactAt(r->dataOffset, frame, saltSize + kAesCheckSize);
  if (!read.ok()) return {StatusKind::kBadEntry, read.message()};
  std::memcpy(header.salt, frame, saltSize);
  std::memcpy(header.check, frame + saltSize, kAesCheckSize);
  r->cipher = Cipher::kAes;
  r->crypto = m_crypto;
  r->checkCrc = aes->vendorVersion == 1;
  r->dataOffset += saltSize + kAesCheckSize;
  r->compressedSize -= AesOverhead(aes->strength);
  if (m_have) {
    // Deriving the keys takes long on purpose: with a password at hand it runs on the worker.
    r->aesPassword = m_password;
    return {};
  }
  return FindAes(e.name, /*tryLast=*/false, r);
}

Status Unlocker::Retry(const std::string& name, DecodeRequest* r) {
  // The worker tried the password that had worked last; another may have worked since.
  const bool tryLast = m_have && r->aesPassword != m_password;
  r->aesPassword.reset();
  return FindAes(name, tryLast, r);
}

Status Unlocker::FindAes(const std::string& name, bool tryLast, DecodeRequest* r) {
  Status failure;
  Status found = Find(name, tryLast, [&](const std::string& password) {
    Status s = UnlockAes(*m_crypto, password, r->aesHeader, &r->aesKeys);
    if (s.kind() != StatusKind::kBadPassword && failure.ok()) failure = s;
    return s.ok();
  });
  return failure.ok() ? found : failure;
}

}  // namespace cv
