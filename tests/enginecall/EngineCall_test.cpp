#include "enginecall/EngineCall.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include "Testing.h"
#include "platform/Handle.h"

namespace corvane {
namespace {

using namespace test;

// Threads of this process: the engines run worker threads that must end with each run.
DWORD ThreadCount() {
  UniqueKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  DWORD count = 0;
  for (BOOL more = Thread32First(snapshot.Get(), &entry); more;
       more = Thread32Next(snapshot.Get(), &entry)) {
    count += entry.th32OwnerProcessID == GetCurrentProcessId();
  }
  return count;
}

// At most 254 bytes and never more than the buffer less one, followed by a zero; the cancel flag
// refuses, and the run is asked no more.
TEST(EngineCallTest, PasswordGoesIntoTheBufferWithinItsLimits) {
  for (auto [answer, cancel, size, written] :
       {std::tuple{std::string("secret"), false, 4, std::string("sec")},
        std::tuple{std::string(300, 'p'), false, 256, std::string(254, 'p')},
        std::tuple{std::string("secret"), true, 256, std::string()}}) {
    std::string buffer(300, '#');
    bool refused = false;
    int asked = 0;
    auto ask = [&](std::string& password, bool& cancelled) {
      ++asked;
      password = answer;
      cancelled = cancel;
    };
    EXPECT_EQ(AnswerPassword(buffer.data(), size, refused, ask), written.empty() ? 1 : 0);
    AnswerPassword(buffer.data(), size, refused, ask);
    EXPECT_EQ(buffer.substr(0, written.size() + 2), written.empty() ? "##" : written + '\0' + '#');
    EXPECT_EQ(asked, written.empty() ? 1 : 2) << answer;
  }
}

// One run at a time across both engines: a run of either started from an event of a run in
// progress is refused, and the refused object's last result says so instead of its run before.
TEST(EngineCallTest, RunStartedDuringAnotherRunOfEitherEngineIsRefused) {
  TempFolder folder;
  for (auto [outerIsZip, innerIsZip] : {std::pair{false, false}, std::pair{false, true},
                                        std::pair{true, false}, std::pair{true, true}}) {
    cUnzip outerUnzip, innerUnzip;
    cZip outerZip, innerZip;
    for (cZip* zip : {&outerZip, &innerZip}) zip->ZipFile(folder / "new.zip");
    innerZip.Delete();  // a failed run before: its result must not remain
    innerUnzip.ZipFile(folder / "missing.zip");
    innerUnzip.Directory();
    ASSERT_EQ(innerUnzip.LastResult(), PK_NOZIP);
    long refused = -1;
    std::string source;
    Recorder events;
    events.during = [&] {
      refused = ErrorNumber(
          [&] { innerIsZip ? innerZip.Zip() : static_cast<void>(innerUnzip.Unzip()); }, &source);
    };
    outerUnzip.Listener(&events);
    outerZip.Listener(&events);
    outerZip.AddFileSpec(TestArchive("four.zip"));
    outerUnzip.ZipFile(TestArchive("four.zip"));
    outerUnzip.TestZip(true);
    outerIsZip ? outerZip.Zip() : static_cast<void>(outerUnzip.Unzip());
    EXPECT_EQ(refused, kErrEngineBusy) << outerIsZip << innerIsZip;
    EXPECT_EQ(source, innerIsZip ? "EngineCall_test.mZip" : "EngineCall_test.mUnzip");
    EXPECT_EQ(innerIsZip ? innerZip.LastResult() : innerUnzip.LastResult(), 0);
    EXPECT_EQ(innerIsZip ? innerZip.LastMessage() : innerUnzip.LastMessage(),
              "An engine run is already in progress");
    innerUnzip.ZipFile(TestArchive("four.zip"));  // once the run is over, the object runs
    innerUnzip.Directory();
    EXPECT_EQ(innerUnzip.FileCount(), 4);
  }
}

// A missing engine library raises the system's error from the module of its engine call, and
// an object works once it is back. The engines are missing only in a copy of this test
// program in a folder of its own, so tests that run meanwhile keep theirs.
TEST(EngineCallTest, MissingLibraryRaisesFromItsModuleAndTheObjectsRecover) {
  if (!InChildRun()) {
    TempFolder copy;
    std::string self = BesideTests("EngineCall_test.exe");
    ASSERT_TRUE(CopyFileA(self.c_str(), (copy / "EngineCall_test.exe").c_str(), TRUE));
    SetEnvironmentVariableA("CORVANE_TEST_BIN", BesideTests("").c_str());
    EXPECT_EQ(RunThisTestIn(copy / "EngineCall_test.exe"), 0);
    return;
  }
  TempFolder folder;
  cUnzip unzip;
  unzip.ZipFile(TestArchive("four.zip"));
  cZip zip;
  zip.ZipFile(folder / "new.zip");
  zip.AddFileSpec(TestArchive("four.zip"));
  for (auto [call, source] : {std::pair<std::function<void()>, const char*>{
                                  [&] { unzip.Unzip(); }, "EngineCall_test.mUnzip"},
                              {[&] { zip.Delete(); }, "EngineCall_test.mZip"}}) {
    std::string raisedBy;
    EXPECT_EQ(ErrorNumber(call, &raisedBy), ERROR_MOD_NOT_FOUND) << source;
    EXPECT_EQ(raisedBy, source);
  }
  EXPECT_NE(unzip.LastMessage().find("cvunzip.dll"), std::string::npos) << unzip.LastMessage();
  // The libraries come back beside the program: the same object works.
  const char* origin = std::getenv("CORVANE_TEST_BIN");
  ASSERT_NE(origin, nullptr);
  for (const char* dll : {"cvunzip.dll", "cvzip.dll"}) {
    std::string from = origin + std::string(dll);
    ASSERT_TRUE(CopyFileA(from.c_str(), BesideTests(dll).c_str(), FALSE)) << dll;
  }
  unzip.Directory();
  EXPECT_EQ(unzip.FileCount(), 4);
}

// Each run loads and frees its engine: hundreds of runs of both leave no thread or library
// behind.
TEST(EngineCallTest, HundredsOfRunsLeaveNoThreadOrLibraryBehind) {
  TempFolder folder;
  cUnzip unzip;
  unzip.ZipFile(TestArchive("four.zip"));
  unzip.OverwriteExisting(true);
  unzip.UnzipFolder(folder / "out");
  cZip zip;
  zip.ZipFile(folder / "new.zip");
  zip.AddFileSpec(TestArchive("four.zip"));
  auto cycle = [&](int i) {
    if (i % 3 == 0) zip.Zip();
    if (i % 3 == 1) unzip.Unzip();
    if (i % 3 == 2) {
      unzip.ZipFile(unzip.ZipFile());
      unzip.Directory();
    }
  };
  for (int i = 0; i < 6; ++i) cycle(i);
  DWORD threads = ThreadCount();
  for (int i = 0; i < 300; ++i) cycle(i);
  EXPECT_EQ(unzip.LastResult(), 0);
  EXPECT_EQ(zip.LastResult(), 0);
  EXPECT_EQ(ThreadCount(), threads);
  EXPECT_EQ(GetModuleHandleA("cvunzip.dll"), nullptr);
  EXPECT_EQ(GetModuleHandleA("cvzip.dll"), nullptr);
}

}  // namespace
}  // namespace corvane
