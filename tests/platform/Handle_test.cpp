#include "platform/Handle.h"

#include <gtest/gtest.h>

#include "platform/Error.h"

namespace corvane {
namespace {

bool IsOpen(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != 0;
}

TEST(UniqueHandleTest, ClosesOnceAndMovesOwnership) {
  HANDLE raw = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(raw, nullptr);
  {
    UniqueKernelHandle first(raw);
    UniqueKernelHandle second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.Get(), raw);
    UniqueKernelHandle third;
    third = std::move(second);
    EXPECT_TRUE(IsOpen(raw));
  }
  EXPECT_FALSE(IsOpen(raw));
}

TEST(UniqueHandleTest, MoveAssignmentClosesTheOldHandle) {
  HANDLE a = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE b = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  UniqueKernelHandle owner(a);
  owner = UniqueKernelHandle(b);
  EXPECT_FALSE(IsOpen(a));
  EXPECT_TRUE(IsOpen(b));
  HANDLE released = owner.Release();
  EXPECT_FALSE(owner);
  EXPECT_TRUE(IsOpen(released));
  CloseHandle(released);
}

TEST(UniqueHandleTest, InvalidHandleValueCountsAsEmpty) {
  UniqueKernelHandle file(CreateFileA("C:\\no such folder\\no such file", GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  EXPECT_EQ(file.Get(), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(file);
  file.Reset();  // must not try to close it
  EXPECT_FALSE(file);
}

TEST(UniqueHandleTest, OwnsWindowsAndKeys) {
  UniqueWindow window(
      CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
  HWND raw = window.Get();
  ASSERT_TRUE(IsWindow(raw));
  window.Reset();
  EXPECT_FALSE(IsWindow(raw));

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key), ERROR_SUCCESS);
  UniqueKey owned(key);
  owned.Reset();
  EXPECT_NE(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
}

TEST(SystemErrorTest, CarriesCodeSourceAndName) {
  Error error = SystemError("Corvane.cRegistry", "Software\\Missing", ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(error.Number(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(error.Source(), "Corvane.cRegistry");
  EXPECT_NE(error.Description().find("(Software\\Missing)"), std::string::npos);
  EXPECT_GT(error.Description().size(), std::string(" (Software\\Missing)").size());
  EXPECT_STREQ(error.what(), error.Description().c_str());
  // The system's text comes without its line break, so it can be followed by the name.
  std::string text = SystemMessage(ERROR_ACCESS_DENIED);
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), '\n');
}

TEST(SystemErrorTest, UnknownCodeStillDescribed) {
  Error error = SystemError("Test", "", 0x2FFFFFFF);
  EXPECT_EQ(error.Description(), "System error " + std::to_string(0x2FFFFFFF));
}

}  // namespace
}  // namespace corvane
