// The test seam of the platform layer: failures a test can inject into the file operations,
// process-wide, where no real disk or system would fail on demand.
#pragma once

#include <cstddef>
#include <cstdint>
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
  int threadStarts = -1;  // threads that may still be started; -1: no limit
};
void SetFaultInjection(const FaultInjection& faults);

// The calls that make a finished file durable under its final name, as the file layer made them:
// "flush PATH", "move FROM TO", "replace TO" (Windows' ReplaceFileW keeping the target's
// attributes, ACL and streams), "retry" (a sharing violation waited out), "flush folder DIR".
// Recorded from StartRecording on; RecordedCalls returns them and stops.
void StartRecording();
std::vector<std::string> RecordedCalls();

namespace detail {
// Charges `size` bytes against the injected limit; true when the disk is "full".
bool InjectedDiskFull(size_t size);
bool InjectedRenameFailure();
bool InjectedSetTimeFailure();
// Whether reading `path` up to byte `end` fails (end 0: opening or listing it).
bool InjectedReadFailure(const std::string& path, uint64_t end);
void Record(const std::string& call);
// Charges one thread start against the injected limit; true when it is to fail.
bool InjectedThreadFailure();
}  // namespace detail

}  // namespace cv
