#include "unzip/cUnzip.h"

#include <gtest/gtest.h>

#include "Testing.h"

namespace corvane {
namespace {

using namespace test;

class cUnzipTest : public testing::Test {
 protected:
  void List(const std::string& archive) {
    unzip.ZipFile(TestArchive(archive));
    ASSERT_EQ(unzip.Directory(), 0);
  }
  // Selects exactly the entries with these stored names.
  void SelectOnly(const std::vector<std::string>& storedNames) {
    for (int32_t i = 1; i <= unzip.FileCount(); ++i) {
      unzip.FileSelected(
          i, std::count(storedNames.begin(), storedNames.end(), unzip.FileStoredName(i)));
    }
  }
  std::set<std::string> Extract(const TempFolder& folder) {
    unzip.UnzipFolder(folder.Path());
    unzip.Unzip();
    return FilesUnder(folder.Path());
  }

  cUnzip unzip;
  Recorder events;
};

// Only the selected entries are extracted, their names taken as they are (no wildcards).
TEST_F(cUnzipTest, SelectionDecidesTheIncludeList) {
  TempFolder selected;
  List("names.zip");
  SelectOnly({"a[1].txt", "a*.txt", "nested/deeper/ünï.txt"});
  unzip.UseFolderNames(true);
  EXPECT_EQ(Extract(selected),
            (std::set<std::string>{"a[1].txt", "a_.txt", "nested\\deeper\\ünï.txt"}));
  // No fixed limit on the number of selected entries.
  TempFolder folder;
  List("many.zip");
  for (int32_t i = 1; i <= unzip.FileCount(); ++i) unzip.FileSelected(i, i <= 1050);
  std::set<std::string> files = Extract(folder);
  EXPECT_EQ(files.size(), 1050u) << unzip.LastMessage();
  EXPECT_TRUE(files.count("dir\\f1049.txt"));
}

TEST_F(cUnzipTest, CallbacksRaiseTheEventsOnTheCallingThread) {
  unzip.Listener(&events);
  List("long-names.zip");
  EXPECT_EQ(unzip.Filename(2).size(), 32104u);  // a stored name is kept whole
  unzip.TestZip(true);
  TempFolder folder;
  Extract(folder);
  // Texts of 32000 bytes or more do not reach the events.
  EXPECT_EQ(events.cancels, std::vector<std::string>{"S" + std::string(31899, 'S') + ".txt"});
  for (const std::string& message : events.messages) EXPECT_LT(message.size(), 32000u);

  events.cancels.clear();
  unzip.TestZip(false);
  unzip.UseFolderNames(true);
  List("names.zip");
  SelectOnly({"nested/deeper/ünï.txt", "plain.txt"});
  Extract(folder);
  EXPECT_EQ(events.cancels.at(1), "nested\\deeper\\ünï.txt");  // "\" for "/"
  ASSERT_FALSE(events.messages.empty());
  EXPECT_EQ(unzip.LastMessage().substr(unzip.LastMessage().rfind('\n') + 1),
            events.messages.back());
  for (const std::string& message : events.messages)
    EXPECT_EQ(message.find('/'), std::string::npos);

  events.cancelAll = true;  // Cancel stops the run
  TempFolder none;
  List("four.zip");
  EXPECT_TRUE(Extract(none).empty());
  EXPECT_EQ(unzip.LastResult(), IZ_CTRLC);
  EXPECT_FALSE(events.otherThread);
}

TEST_F(cUnzipTest, IndexOutsideTheCatalogueAndNoArchive) {
  List("four.zip");
  for (int32_t index : {0, 5}) {
    std::string source;
    EXPECT_EQ(ErrorNumber([&] { unzip.FileSelected(index, true); }, &source), 9) << index;
    EXPECT_EQ(source, "cUnzip_test.cUnzip");
  }
  unzip.ZipFile("");
  EXPECT_FALSE(unzip.Unzip());  // nothing named: the engine is not called
}

}  // namespace
}  // namespace corvane
