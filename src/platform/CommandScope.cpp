#include "platform/CommandScope.h"

#include <vector>

namespace corvane {
namespace {

// Touched only by the user-interface thread.
int g_iDepth = 0;
std::vector<MSG> g_kept;

}  // namespace

CommandScope::CommandScope() {
  ++g_iDepth;
}

CommandScope::~CommandScope() {
  if (--g_iDepth > 0) return;
  std::vector<MSG> kept;
  kept.swap(g_kept);
  for (const MSG& msg : kept) {
    if (IsWindow(msg.hwnd)) PostMessageW(msg.hwnd, msg.message, msg.wParam, msg.lParam);
  }
}

bool CommandScope::DeferWhileInProgress(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_iDepth == 0) return false;
  MSG msg{};
  msg.hwnd = window;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  g_kept.push_back(msg);
  return true;
}

}  // namespace corvane
