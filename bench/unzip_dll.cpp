// The Windows build's engine timing driver: one run of cvunzip.dll, as the program makes it, timed
// inside the process so that starting Wine is not counted (bench/windows.sh runs it).
//
// usage: corvane-bench-unzip test ARCHIVE [PASSWORD]
//        corvane-bench-unzip extract ARCHIVE FOLDER
// Prints the run's seconds; exits with the engine's return code.

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "cvunzip.h"

namespace {

const char* g_password = nullptr;

int CVUNZIP_CALL Password(char* buffer, int size, const char*, const char*) {
  if (!g_password || static_cast<int>(std::strlen(g_password)) >= size) return 1;
  std::strcpy(buffer, g_password);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool test = (argc == 3 || argc == 4) && std::strcmp(argv[1], "test") == 0;
  if (!test && !(argc == 4 && std::strcmp(argv[1], "extract") == 0)) {
    std::fprintf(stderr, "usage: %s test ARCHIVE [PASSWORD] | extract ARCHIVE FOLDER\n", argv[0]);
    return 10;
  }
  if (test && argc == 4) g_password = argv[3];
  DCL options{};
  options.fQuiet = 2;
  options.ntflag = test;
  options.ndflag = 1;
  options.noflag = 1;
  options.lpszZipFN = argv[2];
  options.lpszExtractDir = test ? nullptr : argv[3];
  USERFUNCTION callbacks{};
  callbacks.password = Password;
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  int code = Wiz_SingleEntryUnzip(0, nullptr, 0, nullptr, &options, &callbacks);
  QueryPerformanceCounter(&end);
  std::printf("%.3f\n", double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart));
  return code;
}
