#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "Testing.h"
#include "document/frmDocument.h"
#include "settings/Association.h"
#include "shell/frmMain.h"

namespace corvane::test {

inline constexpr char kSettings[] = "Software\\Corvane\\Settings";
inline constexpr char kProgramKey[] = "SOFTWARE\\Corvane\\Corvane";

// A value of the settings section as text ("<absent>" when there is none), and one written.
inline std::string Stored(const char* name) {
  char data[512] = "";
  DWORD size = sizeof data;
  LSTATUS status =
      RegGetValueA(HKEY_CURRENT_USER, kSettings, name, RRF_RT_REG_SZ, nullptr, data, &size);
  return status == ERROR_SUCCESS ? data : "<absent>";
}
inline void Store(const char* name, const std::string& text) {
  RegSetKeyValueA(HKEY_CURRENT_USER, kSettings, name, REG_SZ, text.c_str(),
                  static_cast<DWORD>(text.size() + 1));
}

// The main window in this process, for the suites that link the shell. Each case starts with
// nothing stored, no .zip association and no first-run question, and leaves nothing behind.
class FrameTest : public testing::Test {
 protected:
  void SetUp() override {
    Forget();
    Store("frun", "0");
  }
  void TearDown() override {
    m_main.reset();
    Forget();
  }
  static void Forget() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettings);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) RegDeleteTreeA(root, kProgramKey);
    for (const char* key : {".ZIP", "Corvane.ZipFile"}) RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
    RemoveZipAssociation();
  }

  frmMain& Open(const std::string& commandLine = "") {
    m_main = std::make_unique<frmMain>();
    m_main->Load(commandLine);
    PumpFor(50);
    return *m_main;
  }
  // Closes the window as its close box would, and waits until it is gone.
  void Close() {
    HWND window = m_main->Window();
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }));
    m_main.reset();
  }
  void Command(WORD id) { SendMessageA(m_main->Window(), WM_COMMAND, id, 0); }
  // The document windows the frame shows.
  int Documents() {
    int count = 0;
    for (HWND child = GetWindow(m_main->MdiClient(), GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
      count += frmDocument::FromWindow(child) != nullptr;
    }
    return count;
  }
  // A command line handed over as a later instance sends it (or with another dwData), and a moment
  // for the frame's loop to act on it; the frame's answer.
  LRESULT Forward(std::string payload, ULONG_PTR dwData = 0) {
    COPYDATASTRUCT record{dwData, static_cast<DWORD>(payload.size()), payload.data()};
    LRESULT taken =
        SendMessageA(m_main->Window(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record));
    PumpFor(50);
    return taken;
  }

  std::unique_ptr<frmMain> m_main;
};

}  // namespace corvane::test
