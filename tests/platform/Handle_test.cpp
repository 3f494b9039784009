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
  HANDLE a = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE b = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  {
    UniqueKernelHandle first(a);
    UniqueKernelHandle second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.Get(), a);
    second = UniqueKernelHandle(b);  // closes the old handle first
    EXPECT_FALSE(IsOpen(a));
    EXPECT_TRUE(IsOpen(b));
  }
  EXPECT_FALSE(IsOpen(b));
  // INVALID_HANDLE_VALUE counts as empty: nothing to close.
  UniqueKernelHandle file(CreateFileA("C:\\no such folder\\no such file", GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(file);
  file.Reset();
}

TEST(SystemErrorTest, CarriesCodeSourceAndName) {
  Error error = SystemError("Corvane.cRegistry", "Software\\Missing", ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(error.Number(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(error.Source(), "Corvane.cRegistry");
  // The system's text, without its line break, then the name.
  const std::string& text = error.Description();
  ASSERT_GT(text.size(), std::string(" (Software\\Missing)").size());
  EXPECT_EQ(text.substr(text.size() - 19), " (Software\\Missing)");
  EXPECT_EQ(text.find('\n'), std::string::npos);
  EXPECT_STREQ(error.what(), text.c_str());
  EXPECT_EQ(SystemError("Test", "", 0x2FFFFFFF).Description(), "System error 805306367");
}

}  // namespace
}  // namespace corvane
