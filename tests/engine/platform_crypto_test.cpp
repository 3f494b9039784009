// The system's cryptographic primitives behind the platform seam, in both builds (libcrypto
// natively, CNG under Wine): the published test vectors of AES, HMAC-SHA1 and PBKDF2, the random
// source, and a system without them.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "platform/crypto.h"
#include "platform/faults.h"

namespace {

std::string Unhex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += char(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

std::string Hex(const uint8_t* data, size_t size) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < size; ++i) hex += std::string{digits[data[i] >> 4], digits[data[i] & 15]};
  return hex;
}

const uint8_t* Bytes(const std::string& s) {
  return reinterpret_cast<const uint8_t*>(s.data());
}

std::shared_ptr<const cv::CryptoLibrary> Library() {
  std::shared_ptr<const cv::CryptoLibrary> library;
  cv::Status loaded = cv::CryptoLibrary::Load(&library);
  EXPECT_TRUE(loaded.ok()) << loaded.message();
  return library;
}

// FIPS-197 appendix C; four equal blocks in one call encrypt alike.
TEST(CryptoTest, AesBlocksGiveThePublishedVectors) {
  const struct {
    const char* key;
    const char* cipher;
  } cases[] = {
      {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
      {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
       "8ea2b7ca516745bfeafc49904b496089"},
  };
  auto library = Library();
  ASSERT_TRUE(library);
  const std::string plain = Unhex("00112233445566778899aabbccddeeff");
  for (const auto& c : cases) {
    const std::string key = Unhex(c.key);
    cv::AesBlocks aes;
    ASSERT_TRUE(aes.Init(*library, Bytes(key), key.size()).ok()) << c.key;
    uint8_t blocks[64];
    for (int b = 0; b < 4; ++b) std::copy(plain.begin(), plain.end(), blocks + 16 * b);
    ASSERT_TRUE(aes.Encrypt(blocks, blocks, sizeof blocks).ok());
    EXPECT_EQ(Hex(blocks, 16), c.cipher) << c.key;
    EXPECT_EQ(Hex(blocks + 48, 16), c.cipher) << c.key;
  }
}

// RFC 2202 and a well-known pair, the data given whole and in pieces; RFC 6070.
TEST(CryptoTest, HmacAndPbkdf2GiveThePublishedVectors) {
  auto library = Library();
  ASSERT_TRUE(library);
  const struct {
    const char* key;
    const char* data;
    const char* code;
  } macs[] = {
      {"Jefe", "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
      {"key", "The quick brown fox jumps over the lazy dog",
       "de7c9b85b8b78aa6bc8a7a36f70a90701c9db4d9"},
  };
  for (const auto& m : macs) {
    for (size_t piece : {size_t(1000), size_t(5)}) {
      const std::string key = m.key, data = m.data;
      cv::HmacSha1 mac;
      ASSERT_TRUE(mac.Init(*library, Bytes(key), key.size()).ok());
      for (size_t at = 0; at < data.size(); at += piece) {
        ASSERT_TRUE(mac.Update(Bytes(data) + at, std::min(piece, data.size() - at)).ok());
      }
      uint8_t code[cv::kSha1Size];
      ASSERT_TRUE(mac.Final(code).ok());
      EXPECT_EQ(Hex(code, sizeof code), m.code) << m.key << " in pieces of " << piece;
    }
  }
  const struct {
    const char* password;
    const char* salt;
    unsigned iterations;
    const char* key;
  } keys[] = {
      {"password", "salt", 1, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
      {"password", "salt", 2, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
      {"password", "salt", 4096, "4b007901b765489abead49d926f721d065a429c1"},
      {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096,
       "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
      // A password longer than SHA-1's block is hashed first; 66 bytes are AES-256's keys.
      {"correct horse battery staple, correct horse battery staple, correct horse battery staple, ",
       "0123456789abcdef", 1000,
       "b165c2907f7787e2354de08dff9d00a75180be482cb769214b88a18fcb1163c48bb6c7564b4411d6c1f4ddabf97"
       "c"
       "36cebfdb7ed9ebfcaf83cfb29a97ed2477fa5acb"},
  };
  for (const auto& k : keys) {
    const std::string salt = k.salt;
    uint8_t key[66];
    const size_t size = std::string(k.key).size() / 2;
    ASSERT_TRUE(
        library->DeriveKey(k.password, Bytes(salt), salt.size(), k.iterations, key, size).ok());
    EXPECT_EQ(Hex(key, size), k.key) << k.password << " " << k.iterations;
  }
}

TEST(CryptoTest, RandomBytesDifferAndASystemWithoutPrimitivesSaysSo) {
  auto library = Library();
  ASSERT_TRUE(library);
  uint8_t first[32] = {}, second[32] = {};
  ASSERT_TRUE(library->Random(first, sizeof first).ok());
  ASSERT_TRUE(library->Random(second, sizeof second).ok());
  EXPECT_NE(Hex(first, 32), Hex(second, 32));
  EXPECT_NE(Hex(first, 32), std::string(64, '0'));
  cv::FaultInjection faults;
  faults.cryptoUnavailable = true;
  cv::SetFaultInjection(faults);
  std::shared_ptr<const cv::CryptoLibrary> missing;
  const cv::Status loaded = cv::CryptoLibrary::Load(&missing);
  cv::SetFaultInjection({});
  EXPECT_EQ(loaded.kind(), cv::StatusKind::kUnsupported);
  EXPECT_NE(loaded.message().find("AES is not available"), std::string::npos) << loaded.message();
  EXPECT_FALSE(missing);
}

}  // namespace
