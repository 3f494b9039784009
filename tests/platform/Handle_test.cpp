#include "platform/Handle.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace corvane
