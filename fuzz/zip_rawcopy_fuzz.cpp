// Fuzz target of the zip engine's raw-copy path: a fuzzed archive gets a file added to it and an
// entry deleted from it. Whatever the input, the engine must not crash, must either write an
// archive our reader accepts holding what was asked, or leave the input byte for byte as it was,
// and must never leave a temporary file.
#include <dirent.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/reader.h"
#include "cvzip.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

char g_folder[4096];

const std::string& Folder() {
  static const std::string dir = [] {
    // TMPDIR as the other tools take it, so that long runs can go to a memory file system.
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/cvzip-fuzz.XXXXXX";
    const std::string d = ::mkdtemp(templ.data());
    std::ofstream(d + "/added.txt") << "added by the fuzz target\n";
    // Removed at exit through a copy of the name that outlives the static string.
    std::snprintf(g_folder, sizeof g_folder, "%s", d.c_str());
    std::atexit([] {
      for (const char* f : {"/added.txt", "/fuzzed.zip"}) {
        ::unlink((std::string(g_folder) + f).c_str());
      }
      ::rmdir(g_folder);
    });
    return d;
  }();
  return dir;
}

std::vector<std::string> EntryNames(const std::string& path, bool* ok) {
  cv::ArchiveReader reader;
  std::vector<cv::Entry> entries;
  *ok = reader.Open(path).ok() && reader.ReadEntries(&entries).ok();
  std::vector<std::string> names;
  for (const cv::Entry& e : entries) names.push_back(e.name);
  return names;
}

int Quiet(char*, unsigned long) {
  return 0;
}

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "zip_rawcopy_fuzz: %s\n", what);
    std::abort();
  }
}

// Runs one add or delete over the input and checks the outcome.
void RunOnce(const std::string& input, bool deleting) {
  const std::string archive = Folder() + "/fuzzed.zip";
  std::ofstream(archive, std::ios::binary | std::ios::trunc) << input;
  ZIPUSERFUNCTIONS functions{Quiet, nullptr, nullptr, nullptr};
  ZpInit(&functions);
  ZPOPT options{};
  options.fJunkDir = 1;
  options.fNoDirEntries = 1;
  options.fDeleteEntries = deleting;
  ZpSetOptions(&options);
  std::string name = deleting ? "added.txt" : Folder() + "/added.txt";
  ZPNAMES names{};
  names.szName[0] = name.data();
  const int code = ZpArchive(1, archive.c_str(), &names);
  const std::string after = ReadAll(archive);
  if (code == ZE_OK) {
    bool ok = false;
    const std::vector<std::string> entries = EntryNames(archive, &ok);
    Check(ok, "an archive written after success does not read back");
    bool has = false;
    for (const std::string& e : entries) has = has || e == "added.txt";
    Check(deleting ? !has : has, "the entry asked for is not as asked");
  } else {
    Check(after == input, "a failed run changed the archive");
  }
  // Only the input archive and the file to add remain: no temporary file.
  int count = 0;
  if (DIR* d = ::opendir(Folder().c_str())) {
    while (const dirent* e = ::readdir(d)) count += e->d_name[0] != '.';
    ::closedir(d);
  }
  Check(count == 2, "a file other than the archive and the input was left behind");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  RunOnce(input, /*deleting=*/false);
  RunOnce(input, /*deleting=*/true);
  return 0;
}
