// The test seam of the platform layer: failures a test can inject into the file operations,
// process-wide, where no real disk or system would fail on demand.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "core/status.h"
#include <string>
#include <vector>

namespace cv {

struct FaultInjection {
  int64_t writableBytes = -1;  // bytes that may still be written; -1: no limit
  bool failRename = false;
  bool failSetTime = false;  // setting a file's modification time fails
  // Reading the file (or listing the folder) of this path, as the engine names it, fails from
  // byte failReadAt on; at 0 it cannot even be opened. The text must live while it is in force.
  const char* failReadPath = nullptr;
  uint64_t failReadAt = 0;
  int threadStarts = -1;           // threads that may still be started; -1: no limit
  bool cryptoUnavailable = false;  // the system's cryptographic primitives are missing
  // The progress callback comes at every step a run takes (each entry, block and wake-up), not
  // at most ten times a second, so that a test can stop a run at a chosen stage.
  bool progressEveryStep = false;
  // A worker that has decoded this many bytes of one entry waits there until the run is stopped
  // (at most 10 s), so that a stop lands inside that entry; 0: none.
  uint64_t holdDecodeAt = 0;
};
void SetFaultInjection(const FaultInjection& faults);

// The calls that make a finished file durable under its final name, as the file layer made them:
// "flush PATH", "move FROM TO", "replace TO" (Windows' ReplaceFileW keeping the target's
// attributes, ACL and streams), "retry" (a sharing violation waited out), "flush folder DIR".
// Recorded from StartRecording on; RecordedCalls returns them and stops.
void StartRecording();
std::vector<std::string> RecordedCalls();

namespace detail {
// The file layer's checks: each is ok, or the failure the injection asks for.
// Reading `path` up to byte `end` (0: opening or listing it).
Status ReadFault(const std::string& path, uint64_t end);
// Writing `size` more bytes, charged against the injected limit: a full disk.
Status WriteFault(const std::string& path, size_t size);
Status RenameFault(const std::string& from, const std::string& to);
Status SetTimeFault(const std::string& path);
// Charges one thread start against the injected limit; true when it is to fail.
bool InjectedThreadFailure();
void Record(const std::string& call);
// The system's cryptographic primitives: missing when a test says so.
Status CryptoFault();
bool ProgressEveryStep();
// Holds a worker that has decoded `decoded` bytes of an entry until `stopped`, when a test asks.
void HoldDecode(uint64_t decoded, const std::atomic<bool>& stopped);
}  // namespace detail

}  // namespace cv
