// The test seam of the platform layer: failures a test can inject into the file operations,
// process-wide, where no real disk or system would fail on demand.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cv {

struct FaultInjection {
  int64_t writableBytes = -1;  // bytes that may still be written; -1: no limit
  bool failRename = false;
  bool failSetTime = false;        // setting a file's modification time fails
  bool cryptoUnavailable = false;  // the system's cryptographic primitives are missing
};
void SetFaultInjection(const FaultInjection& faults);

namespace detail {
// Charges `size` bytes against the injected limit; true when the disk is "full".
bool InjectedDiskFull(size_t size);
bool InjectedRenameFailure();
bool InjectedSetTimeFailure();
bool InjectedCryptoUnavailable();
}  // namespace detail

}  // namespace cv
