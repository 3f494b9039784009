// Fuzz target of the unzip engine: the input is an archive; it is listed, tested and extracted
// into a scratch folder (with a password at hand), through the same C entry point the program
// calls. Sanitizers catch memory and undefined-behaviour faults; a hang or unbounded allocation
// shows as a libFuzzer timeout or out-of-memory report.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "cvunzip.h"

namespace {

namespace fs = std::filesystem;

int CVUNZIP_CALL Quiet(char*, unsigned long) {
  return 0;
}
int CVUNZIP_CALL Replace(char*) {
  return IDM_REPLACE_YES;
}
int CVUNZIP_CALL Password(char* buffer, int size, const char*, const char*) {
  if (size < 3) return 1;
  buffer[0] = 'p';
  buffer[1] = 'w';
  return 0;
}
void CVUNZIP_CALL Listed(unsigned long long, unsigned long long, unsigned, unsigned, unsigned,
                         unsigned, unsigned, unsigned, char, char* name, char* method, unsigned,
                         char) {
  // Touch both texts so that a bad pointer or a missing terminator shows.
  volatile size_t n = std::string(name).size() + std::string(method).size();
  (void)n;
}

const fs::path& Scratch() {
  static const fs::path dir =
      fs::temp_directory_path() / ("cvunzip-fuzz-" + std::to_string(getpid()));
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fs::create_directories(Scratch());
  std::string archive = (Scratch() / "input.zip").string();
  std::string target = (Scratch() / "out").string();
  if (FILE* f = std::fopen(archive.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  USERFUNCTION functions{};
  functions.print = Quiet;
  functions.replace = Replace;
  functions.password = Password;
  functions.SendApplicationMessage = Listed;
  for (int mode = 0; mode < 3; ++mode) {
    DCL dcl{};
    dcl.lpszZipFN = archive.data();
    dcl.lpszExtractDir = target.data();
    dcl.ndflag = 1;
    dcl.nvflag = mode == 0;
    dcl.ntflag = mode == 1;
    dcl.naflag = 1;
    dcl.PromptToOverwrite = 1;
    Wiz_SingleEntryUnzip(0, nullptr, 0, nullptr, &dcl, &functions);
  }
  // Whatever was written must be inside the target; the scratch folder holds nothing else.
  for (const auto& e : fs::directory_iterator(Scratch())) {
    std::string name = e.path().filename().string();
    if (name != "input.zip" && name != "out") __builtin_trap();
  }
  fs::remove_all(target);
  return 0;
}
