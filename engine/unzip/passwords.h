// The passwords of an unzip run: the one that worked last is tried first, then up to three answers
// of the password callback, each checked against the entry's encryption header.
#pragma once

#include <string>

#include "core/crypto.h"
#include "core/entry.h"
#include "cvunzip.h"

namespace cv {

class Passwords {
 public:
  explicit Passwords(USERFUNCTION* callbacks) : m_callbacks(callbacks) {}

  // Sets `keys` for the entry whose 12 header bytes (still encrypted) are `header`; false when no
  // password fits. `*asked` tells whether the callback gave any password.
  bool Find(const Entry& e, const unsigned char* header, ZipCrypto* keys, bool* asked);

 private:
  USERFUNCTION* m_callbacks;
  bool m_have = false;
  std::string m_password;
};

}  // namespace cv
