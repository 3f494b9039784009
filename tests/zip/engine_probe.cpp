// Runs engine-object actions in order on one cUnzip and one cZip and prints one line per action,
// so that a test can run it from a folder whose engine libraries it has moved away.
//   hide DLL | restore DLL             rename DLL in this folder to DLL.away and back
//   directory ZIP | unzip ZIP FOLDER   list, or list and extract, with the one cUnzip
//   unzip-unnamed                      Unzip with ZipFile empty
//   zip ZIP FILE | delete ZIP NAME     add a file, or delete an entry, with the one cZip
#include <cstdio>
#include <functional>
#include <string>

#include "unzip/EngineCall.h"
#include "unzip/cUnzip.h"
#include "zip/cZip.h"

namespace {

std::string Beside(const std::string& name) {
  char path[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\') + 1) + name;
}

}  // namespace

int main(int argc, char** argv) {
  using corvane::Error;
  corvane::cUnzip unzip;
  corvane::cZip zip;
  for (int i = 1; i < argc; ++i) {
    std::string action = argv[i];
    auto next = [&] { return std::string(i + 1 < argc ? argv[++i] : ""); };
    std::string line = action + ": ";
    try {
      if (action == "hide" || action == "restore") {
        std::string dll = Beside(next());
        bool hide = action == "hide";
        bool moved =
            MoveFileA((hide ? dll : dll + ".away").c_str(), (hide ? dll + ".away" : dll).c_str());
        line += moved ? "done" : "failed";
      } else if (action == "directory") {
        unzip.ZipFile(next());
        unzip.Directory();
        line += std::to_string(unzip.FileCount());
      } else if (action == "unzip") {
        unzip.ZipFile(next());
        unzip.UnzipFolder(next());
        unzip.Directory();
        unzip.Unzip();
        line += std::to_string(unzip.LastResult());
      } else if (action == "unzip-unnamed") {
        unzip.ZipFile("");
        line += unzip.Unzip() ? "true" : "false";
      } else if (action == "zip" || action == "delete") {
        zip.ZipFile(next());
        zip.ClearFileSpecs();
        zip.AddFileSpec(next());
        if (action == "zip") {
          zip.Zip();
        } else {
          zip.Delete();
        }
        line += std::to_string(zip.LastResult());
      } else {
        line += "unknown action";
      }
    } catch (const Error& error) {
      line += "error " + std::to_string(error.Number()) + " " + error.Source();
    }
    std::printf("%s\n", line.c_str());
  }
  return 0;
}
