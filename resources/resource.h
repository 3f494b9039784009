// Identifiers of the resources the program and its tests load.
#pragma once

// Icons in this order: the shell finds them by position, and position 1 stands for .zip files.
#define IDI_CORVANE 1
#define IDI_ZIPFILE 2
// A file type without an icon of its own, in the document windows' lists.
#define IDI_DOCUMENT 3

// Toolbar pictures, 24 x 24 on silver, in the order of their keys.
#define IDB_TOOLBAR_NEW 101
#define IDB_TOOLBAR_OPEN 102
#define IDB_TOOLBAR_UNDO 103
#define IDB_TOOLBAR_REDO 104
#define IDB_TOOLBAR_EXTRACTTO 105

#define IDB_LOGO 110
