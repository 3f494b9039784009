#include "document/mFileIcons.h"

#include <gtest/gtest.h>

#include "Testing.h"
#include "document/IconImageList.h"

namespace corvane {
namespace {

// Each extension is looked up once per list and kept under its upper-case key; names without an
// extension, programs and extensions that could reach another folder, a device or a stream get
// the default without a lookup.
TEST(mFileIconsTest, KeysAndTheImagesBehindThem) {
  IconImageList list(16);
  const struct {
    const char* name;
    const char* key;
    int lookups;  // made for the list so far
  } cases[] = {
      {"readme", "DEFAULT", 0},     {"setup.exe", "DEFAULT", 0}, {"SETUP.Exe", "DEFAULT", 0},
      {"report.txt", ".TXT", 1},    {"NOTES.TXT", ".TXT", 1},    {"archive.tar.gz", ".GZ", 2},
      {"ends in a dot.", ".", 3},   {"Zoë.ünï", ".ÜNÏ", 4},      {"a.t:x", "DEFAULT", 4},
      {"c.x\\..\\y", "DEFAULT", 4}, {"d.x\x01", "DEFAULT", 4},   {"again.gz", ".GZ", 4},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetIconKey(c.name, list, "DEFAULT"), c.key) << c.name;
    EXPECT_EQ(list.Lookups(), c.lookups) << c.name;
  }
  EXPECT_EQ(list.IndexOf(".TXT"), 0);
  EXPECT_GE(list.IndexOf(".GZ"), 0);
  // Drawn again at another size, the images keep their places.
  const int gz = list.IndexOf(".GZ"), images = list.Count();
  list.Resize(24);
  int cx = 0, cy = 0;
  ImageList_GetIconSize(list.Handle(), &cx, &cy);
  EXPECT_EQ(std::make_tuple(cx, ImageList_GetImageCount(list.Handle()), list.IndexOf(".GZ")),
            std::make_tuple(24, images, gz));
}

// No file is made for a lookup: a temporary folder where none could be made (here a regular
// file) changes nothing.
TEST(mFileIconsTest, NoFileIsMadeForALookup) {
  test::TempFolder folder;
  test::WriteFileText(folder / "not a folder", "x");
  char before[MAX_PATH] = "";
  bool had = GetEnvironmentVariableA("TMP", before, sizeof before) > 0;
  SetEnvironmentVariableA("TMP", (folder / "not a folder").c_str());
  IconImageList list(16);
  EXPECT_EQ(GetIconKey("a.txt", list, "DEFAULT"), ".TXT");
  SetEnvironmentVariableA("TMP", had ? before : nullptr);
  EXPECT_EQ(list.Count(), 1);
}

// A hostile archive's 20,000 distinct extensions, each shown twice: one lookup each, and the
// images (the icon handles the list owns) stay within the bound.
TEST(mFileIconsTest, ManyExtensionsKeepTheImagesBounded) {
  IconImageList list(16);
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < 20000; ++i) {
      const std::string extension = ".X" + std::to_string(i);
      const std::string key = GetIconKey("f" + extension, list, "DEFAULT");
      if (key != "DEFAULT") ASSERT_EQ(key, extension);
    }
  }
  EXPECT_EQ(list.Lookups(), 20000);
  EXPECT_GT(list.Count(), 0);
  EXPECT_LE(list.Count(), IconImageList::kMaxImages);
}

// A full list adds no image and no handle: an extension whose icon it does not hold gets the
// default, and is not looked up again.
TEST(mFileIconsTest, AFullListGivesTheDefaultOnce) {
  IconImageList list(16);
  HICON icon = LoadIconA(nullptr, IDI_APPLICATION);
  // Sources no system icon has, so that nothing the shell gives is shared.
  for (int i = 0; i <= IconImageList::kMaxImages; ++i)
    list.Add(std::to_string(i), icon, 1 << 30 | i);
  EXPECT_EQ(list.Count(), IconImageList::kMaxImages);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(GetIconKey("a.txt", list, "DEFAULT"), "DEFAULT");
  EXPECT_EQ(std::make_pair(list.Lookups(), list.Count()),
            std::make_pair(1, IconImageList::kMaxImages));
}

}  // namespace
}  // namespace corvane
