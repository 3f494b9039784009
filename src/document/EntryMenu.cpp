#include "document/EntryMenu.h"

#include <commctrl.h>
#include <windowsx.h>

#include "platform/Handle.h"

namespace corvane {
namespace {

struct MenuItem {
  EntryCommand command;  // kNone: a separator
  const char* caption;
};
constexpr MenuItem kItems[] = {
    {EntryCommand::kOpen, "&Open\tEnter"},
    {EntryCommand::kExtract, "E&xtract To..."},
    {EntryCommand::kNone, nullptr},
    {EntryCommand::kDelete, "&Delete\tDel"},
    {EntryCommand::kSelectAll, "Select &All\tCtrl+A"},
    {EntryCommand::kNone, nullptr},
    {EntryCommand::kTest, "&Test"},
    {EntryCommand::kProperties, "P&roperties"},
};

bool Enabled(EntryCommand command, bool anySelected, bool anyRow) {
  switch (command) {
    case EntryCommand::kOpen:
    case EntryCommand::kDelete:
      return anySelected;
    case EntryCommand::kProperties:
      return true;
    default:
      return anyRow;
  }
}

}  // namespace

EntryCommand ChooseEntryCommand(HWND owner, POINT place, bool anySelected, bool anyRow) {
  UniqueHandle<HMENU, DestroyMenu> menu(CreatePopupMenu());
  if (!menu) return EntryCommand::kNone;
  for (const MenuItem& item : kItems) {
    if (item.command == EntryCommand::kNone) {
      AppendMenuA(menu.Get(), MF_SEPARATOR, 0, nullptr);
      continue;
    }
    UINT flags = MF_STRING | (Enabled(item.command, anySelected, anyRow) ? 0 : MF_GRAYED);
    AppendMenuA(menu.Get(), flags, static_cast<UINT_PTR>(item.command), item.caption);
  }
  // Open is what a double-click does: shown in bold, as the shell marks the default verb.
  if (anySelected) SetMenuDefaultItem(menu.Get(), static_cast<UINT>(EntryCommand::kOpen), FALSE);
  UINT flags = TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY |
               (GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN);
  auto chosen =
      static_cast<UINT>(TrackPopupMenuEx(menu.Get(), flags, place.x, place.y, owner, nullptr));
  return chosen ? static_cast<EntryCommand>(chosen) : EntryCommand::kNone;
}

POINT EntryMenuPlace(HWND list, LPARAM lParam) {
  if (lParam != -1) return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  POINT place{0, 0};
  int focused = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, -1, LVNI_FOCUSED));
  RECT row{LVIR_LABEL};
  RECT client;
  GetClientRect(list, &client);
  if (focused >= 0 &&
      SendMessageA(list, LVM_GETITEMRECT, focused, reinterpret_cast<LPARAM>(&row)) &&
      row.bottom > client.top && row.top < client.bottom) {
    place = {row.left + (row.bottom - row.top), row.bottom};
  }
  ClientToScreen(list, &place);
  return place;
}

EntryCommand EntryKeyCommand(WORD keyCode, bool control) {
  if (control && keyCode == 'A') return EntryCommand::kSelectAll;
  return EntryCommand::kNone;
}

}  // namespace corvane
