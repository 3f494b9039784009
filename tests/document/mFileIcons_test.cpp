#include "document/mFileIcons.h"

#include <gtest/gtest.h>

#include "Testing.h"
#include "document/IconImageList.h"

namespace corvane {
namespace {

// Each extension is fetched once per list and kept under its upper-case key; names without an
// extension, programs and extensions that could reach another folder, a device or a stream get
// the default, and no probe file is left behind.
TEST(mFileIconsTest, KeysAndTheImagesBehindThem) {
  IconImageList list(16);
  const struct {
    const char* name;
    const char* key;
    int images;  // in the list afterwards
  } cases[] = {
      {"readme", "DEFAULT", 0},     {"setup.exe", "DEFAULT", 0}, {"SETUP.Exe", "DEFAULT", 0},
      {"report.txt", ".TXT", 1},    {"NOTES.TXT", ".TXT", 1},    {"archive.tar.gz", ".GZ", 2},
      {"ends in a dot.", ".", 3},   {"Zoë.ünï", ".ÜNÏ", 4},      {"a.t:x", "DEFAULT", 4},
      {"c.x\\..\\y", "DEFAULT", 4}, {"d.x\x01", "DEFAULT", 4},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetIconKey(c.name, list, "DEFAULT"), c.key) << c.name;
    EXPECT_EQ(list.Count(), c.images) << c.name;
  }
  EXPECT_EQ(list.IndexOf(".TXT"), 0);
  WIN32_FIND_DATAA probe;
  EXPECT_EQ(FindFirstFileA((GetTempDir() + "CVUZTEMP*").c_str(), &probe), INVALID_HANDLE_VALUE);
  // Drawn again at another size, the images keep their places.
  list.Resize(24);
  int cx = 0, cy = 0;
  ImageList_GetIconSize(list.Handle(), &cx, &cy);
  EXPECT_EQ(std::make_tuple(cx, ImageList_GetImageCount(list.Handle()), list.IndexOf(".GZ")),
            std::make_tuple(24, 4, 1));
}

// A temporary folder where no file can be made (here a regular file): every extension gets the
// default, nothing is kept, and the next lookup tries again.
TEST(mFileIconsTest, NoProbeFileGivesTheDefaultAndKeepsNothing) {
  test::TempFolder folder;
  test::WriteFileText(folder / "not a folder", "x");
  char before[MAX_PATH] = "";
  bool had = GetEnvironmentVariableA("TMP", before, sizeof before) > 0;
  SetEnvironmentVariableA("TMP", (folder / "not a folder").c_str());
  IconImageList list(16);
  EXPECT_EQ(GetIconKey("a.txt", list, "DEFAULT"), "DEFAULT");
  EXPECT_EQ(list.Count(), 0);
  SetEnvironmentVariableA("TMP", had ? before : nullptr);
  EXPECT_EQ(GetIconKey("a.txt", list, "DEFAULT"), ".TXT");
  EXPECT_EQ(list.Count(), 1);
}

}  // namespace
}  // namespace corvane
