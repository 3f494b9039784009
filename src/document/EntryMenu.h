#pragma once

#include <windows.h>

namespace corvane {

// The commands of a document's entry list that its context menu and keys offer.
enum class EntryCommand { kNone, kOpen, kExtract, kDelete, kSelectAll, kTest, kProperties };

// Shows the entry list's context menu at place (screen coordinates), owned by owner, until the
// user chooses or dismisses it; returns the choice (kNone when dismissed). Open and Delete are
// greyed without a selected row, and every command but Properties in an empty list.
EntryCommand ChooseEntryCommand(HWND owner, POINT place, bool anySelected, bool anyRow);

// Where the menu opens for a WM_CONTEXTMENU sent for list with this lParam: the pointer's place,
// or, for a keyboard request (Shift+F10, the menu key: lParam -1), beside the focused row, or the
// list's corner when no row is in view.
POINT EntryMenuPlace(HWND list, LPARAM lParam);

// The command a key pressed in the list stands for: Ctrl+A selects all; kNone for other keys.
EntryCommand EntryKeyCommand(WORD keyCode, bool control);

}  // namespace corvane
