// The floor of extraction's file-system work: creates the files a manifest lists (the paths, sizes
// and modification times of an archive's entries) with no archive and no decompression, the bytes
// written from memory, by as many worker threads as the engine runs. bench/run times it beside
// the extractions.
//
// usage: fs_floor MANIFEST DEST THREADS
//   MANIFEST  lines "SIZE MTIME PATH" (PATH ending in / is a folder), in the archive's order
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Item {
  unsigned long long size;
  long long mtime;
  std::string path;
};

std::mutex g_madeMutex;
std::set<std::string> g_made;  // folders known to exist

void MakeFolders(const std::string& path) {
  for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
    const std::string folder = path.substr(0, at);
    {
      std::lock_guard lock(g_madeMutex);
      if (g_made.count(folder)) continue;
    }
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
      std::perror(folder.c_str());
      std::exit(1);
    }
    std::lock_guard lock(g_madeMutex);
    g_made.insert(folder);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: fs_floor MANIFEST DEST THREADS\n");
    return 2;
  }
  std::ifstream in(argv[1]);
  const std::string dest = argv[2];
  std::vector<Item> items;
  unsigned long long largest = 0;
  for (Item item; in >> item.size >> item.mtime && std::getline(in >> std::ws, item.path);) {
    item.path = dest + "/" + item.path;
    largest = std::max(largest, item.size);
    items.push_back(item);
  }
  const std::vector<char> bytes(std::min<unsigned long long>(largest, 1 << 20) + 1, 'x');
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  auto work = [&] {
    for (size_t i; (i = next++) < items.size();) {
      const Item& item = items[i];
      MakeFolders(item.path);
      if (item.path.back() == '/') continue;
      const int fd = open(item.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
      if (fd < 0) {
        std::perror(item.path.c_str());
        failed = true;
        continue;
      }
      for (unsigned long long left = item.size; left > 0;) {
        const size_t n = size_t(std::min<unsigned long long>(left, bytes.size()));
        const ssize_t w = write(fd, bytes.data(), n);
        if (w <= 0) {
          failed = true;
          break;
        }
        left -= (unsigned long long)w;
      }
      const timespec times[2] = {{item.mtime, 0}, {item.mtime, 0}};
      if (futimens(fd, times) != 0 || close(fd) != 0) failed = true;
    }
  };
  const int threads = std::max(1, std::atoi(argv[3]));
  std::vector<std::thread> workers;
  mkdir(dest.c_str(), 0777);
  for (int t = 0; t < threads; ++t) workers.emplace_back(work);
  for (std::thread& t : workers) t.join();
  return failed ? 1 : 0;
}
