// The core's name functions: decoding, wildcard matching, exact-first selection, safe paths.
#include <gtest/gtest.h>

#include <zlib.h>

#include "core/match.h"
#include "core/names.h"
#include "core/safe_path.h"

namespace {

TEST(SafeRelativePathTest, NeverLeavesTheTargetAndAvoidsWindowsTraps) {
  struct Case {
    const char* name;
    bool folders;
    const char* path;
  } cases[] = {
      {"a/b/c.txt", true, "a/b/c.txt"},
      {"a/b/c.txt", false, "c.txt"},
      {"../../x", true, "x"},
      {"a/../../x", true, "a/x"},
      {"/etc/passwd", true, "etc/passwd"},
      {"\\\\server\\share\\x", true, "server/share/x"},
      {"C:\\x\\y", true, "x/y"},
      {"c:y", true, "y"},
      {"./a/./b", true, "a/b"},
      {"a//b", true, "a/b"},
      {"CON", true, "_CON"},
      {"con.txt", true, "_con.txt"},
      {"Com1.log", true, "_Com1.log"},
      {"lpt9", true, "_lpt9"},
      {"console", true, "console"},
      {"com10", true, "com10"},
      {"nul/x", true, "_nul/x"},
      {"a<b>c:d\"e|f?g*h", true, "a_b_c_d_e_f_g_h"},
      {"tab\there", true, "tab_here"},
      {"dots...", true, "dots___"},
      {"space ", true, "space_"},
      {"...", true, "___"},
      {"", true, ""},
      {"/", true, ""},
      {"..", true, ""},
      {"dir/", true, "dir"},
      {"dir/", false, "dir"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cv::SafeRelativePath(c.name, c.folders, false), c.path) << c.name;
  }
  EXPECT_EQ(cv::SafeRelativePath("a b/c d", true, true), "a_b/c_d");
}

TEST(WildcardMatchTest, Patterns) {
  struct Case {
    const char* pattern;
    const char* name;
    bool caseSensitive;
    bool matches;
  } cases[] = {
      {"*", "", true, true},
      {"*", "a/b", true, true},
      {"*.txt", "dir/a.txt", true, true},
      {"*.txt", "a.txt.bak", true, false},
      {"a?c", "abc", true, true},
      {"a?c", "ac", true, false},
      {"a?c", "a\xc3\xa9\x63", true, true},  // ? takes one character, not one byte
      {"[abc]x", "bx", true, true},
      {"[!abc]x", "bx", true, false},
      {"[^abc]x", "dx", true, true},
      {"[a-c]", "B", false, true},
      {"[a-c]", "B", true, false},
      {"[]]", "]", true, true},
      {"[abc", "[abc", true, true},  // an unclosed set is literal
      {"A*.TXT", "a1.txt", false, true},
      {"A*.TXT", "a1.txt", true, false},
      {"*a*b*c", "xaybzc", true, true},
      {"*a*b*c", "xaybz", true, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cv::WildcardMatch(c.pattern, c.name, c.caseSensitive), c.matches)
        << c.pattern << " ~ " << c.name;
  }
}

TEST(SelectByNamesTest, ExactNamesDoNotExpand) {
  std::vector<std::string_view> entries = {"a[1].txt", "a1.txt", "b.txt", "a[1].txt"};
  std::vector<bool> used;
  auto selected = cv::SelectByNames({"a[1].txt", "zzz"}, entries, false, &used);
  EXPECT_EQ(selected, (std::vector<bool>{true, false, false, true}));
  EXPECT_EQ(used, (std::vector<bool>{true, false}));
  selected = cv::SelectByNames({"a[0-9].txt"}, entries, false);
  EXPECT_EQ(selected, (std::vector<bool>{false, true, false, false}));
  EXPECT_EQ(cv::SelectByNames({}, entries, false), std::vector<bool>(4, false));
}

TEST(DecodeEntryNameTest, Encodings) {
  EXPECT_EQ(cv::DecodeEntryName("plain.txt", ""), "plain.txt");
  EXPECT_EQ(cv::DecodeEntryName("caf\x82", ""), "caf\xc3\xa9");
  EXPECT_EQ(cv::DecodeEntryName("caf\xc3\xa9", ""), "caf\xc3\xa9");
  EXPECT_EQ(cv::DecodeEntryName("caf\xc3\xa9", ""), "caf\xc3\xa9");
  EXPECT_EQ(cv::DecodeEntryName("\xb0\xdb", ""), "\xe2\x96\x91\xe2\x96\x88");
  // Overlong and surrogate forms are not UTF-8.
  EXPECT_FALSE(cv::IsValidUtf8("\xc0\xaf"));
  EXPECT_FALSE(cv::IsValidUtf8("\xed\xa0\x80"));
  EXPECT_FALSE(cv::IsValidUtf8("\xe6\x97"));
  EXPECT_TRUE(cv::IsValidUtf8("\xf0\x9f\x98\x80"));

  std::string raw = "x.txt";
  auto crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(raw.data()), uInt(raw.size())));
  auto field = [](uint32_t crc, const std::string& name) {
    std::string data;
    data += '\x75';
    data += '\x70';
    uint16_t size = uint16_t(5 + name.size());
    data += char(size & 0xff);
    data += char(size >> 8);
    data += '\x01';
    for (int i = 0; i < 4; ++i) data += char(crc >> (8 * i));
    return data + name;
  };
  EXPECT_EQ(cv::DecodeEntryName(raw, field(crc, "\xc3\xbc.txt")), "\xc3\xbc.txt");
  EXPECT_EQ(cv::DecodeEntryName(raw, field(crc ^ 1, "\xc3\xbc.txt")), "x.txt");
  EXPECT_EQ(cv::DecodeEntryName(raw, field(crc, "\xff")), "x.txt");
}

}  // namespace
