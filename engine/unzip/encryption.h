// Encrypted entries of an unzip run: their traditional encryption header or AES salt and check
// value read, the passwords tried on them (the one that worked last first, then up to three
// answers of the password callback), and the keys their data is decrypted with. On the calling
// thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/aes.h"
#include "core/entry.h"
#include "cvunzip.h"
#include "unzip/decode.h"

namespace cv {

class Unlocker {
 public:
  explicit Unlocker(USERFUNCTION* callbacks) : m_callbacks(callbacks) {}

  // Sets up `request`, whose offset and size span the entry's whole data, to decrypt entry `e`
  // (AES when `aes` is given, traditional otherwise): finds a password that fits, asking the
  // callback, or for AES, when a password worked before, leaves it to the worker to derive the
  // keys and try it (UnlockAes in decode.h; Retry when it does not fit). Failures: kBadEntry when
  // the frame around the data is damaged, kUnsupported when the system has no AES, kBadPassword
  // ("incorrect password", "no password given") when no password fits.
  Status Unlock(const Entry& e, const AesField* aes, DecodeRequest* request);
  // For an AES request whose password did not fit on the worker: the passwords again, as above.
  Status Retry(const std::string& name, DecodeRequest* request);

 private:
  // Tries the password that worked last (with `tryLast`), then the callback's answers, until
  // `fits` takes one, which is then the one that worked last.
  Status Find(const std::string& name, bool tryLast,
              const std::function<bool(const std::string&)>& fits);
  Status FindAes(const std::string& name, bool tryLast, DecodeRequest* request);

  USERFUNCTION* m_callbacks;
  bool m_have = false;
  std::string m_password;
  // Loaded at the first AES entry; a failure is kept, not tried again per entry.
  std::shared_ptr<const CryptoLibrary> m_crypto;
  Status m_cryptoStatus;
  bool m_cryptoLoaded = false;
};

}  // namespace cv
