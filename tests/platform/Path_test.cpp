#include "platform/Path.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

// A typed folder is taken from the folder the user looks at, never from the current folder.
TEST(PathTest, ResolvePathTakesTypedFoldersFromTheShownOne) {
  const struct {
    const char* folder;
    const char* typed;
    const char* expected;
  } cases[] = {
      {"C:\\work\\out", "D:\\full\\x", "D:\\full\\x"},
      {"C:\\work\\out", "D:/full/./x", "D:/full/./x"},  // as typed
      {"C:\\work\\out", "\\\\server\\share\\x", "\\\\server\\share\\x"},
      {"C:\\work\\out", "new", "C:\\work\\out\\new"},
      {"C:\\work\\out", "a/../b", "C:\\work\\out\\b"},
      {"C:\\", "new", "C:\\new"},
      {"C:\\work\\out", "\\top", "C:\\top"},
      {"\\\\server\\share\\dir", "\\top", "\\\\server\\share\\top"},
      {"C:\\work\\out", "D:x", "D:\\x"},
      {"", "new", "new"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResolvePath(c.folder, c.typed), c.expected) << c.folder << " + " << c.typed;
  }
}

}  // namespace
}  // namespace corvane
