// Drag and drop with other programs, in this process: files dropped through the frame's OLE drop
// target (its IDropTarget called as the system's drag loop calls it, with a real data object
// offering CF_HDROP), and rows dragged out through the data object the drag offers, read as a drop
// target reads it. The system's drag loop itself, the drag image and Explorer as the target need a
// mouse and a shell that Wine's test display does not have.

#include <ole2.h>
#include <shlobj.h>

#include <set>

#include "FrameTest.h"
#include "dialogs/frmPassword.h"
#include "document/DragOut.h"
#include "platform/FileDataObject.h"
#include "platform/Text.h"
#include "settings/AppSettings.h"
#include "shell/Startup.h"

namespace corvane {
namespace {

using namespace test;

// The archive's file entries (folder entries are not listed).
std::set<std::string> Entries(const std::string& archive) {
  cUnzip unzip;
  unzip.ZipFile(archive);
  unzip.Directory();
  std::set<std::string> names;
  for (int32_t i = 1; i <= unzip.FileCount(); ++i) names.insert(unzip.FileStoredName(i));
  return names;
}

POINTL CentreOf(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return POINTL{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

class DragDropTest : public FrameTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    FrameTest::SetUp();
    ASSERT_TRUE(IsFirstInstance("Corvane_APPLICATION_MUTEX"));
    Open();
    ASSERT_NE(m_main->DropTarget(), nullptr);
    WriteFileText(folder / "in\\dir\\x.txt", "x");
    WriteFileText(folder / "in\\dir\\sub\\y.txt", "y");
    WriteFileText(folder / "in\\f.txt", "f");
    WriteFileText(folder / "in\\g.dat", "g");
    cZip zip;
    zip.ZipFile(archive);
    zip.BasePath(folder / "in");
    zip.StoreFolderNames(true);
    zip.RecurseSubDirs(true);
    zip.AddFileSpec(folder / "in\\dir");
    zip.AddFileSpec(folder / "in\\f.txt");
    zip.Zip();
  }
  void TearDown() override {
    FrameTest::TearDown();
    ReleaseInstanceMutex();
    OleUninitialize();
  }
  // A drop of these files (a data object from source, when given) at the point; the effect the
  // target chose, with the frame's confirmation answered by button (0: no box expected).
  DWORD Drop(std::vector<std::string> files, POINTL point, int button = 0, HWND source = nullptr) {
    auto* data = new FileDataObject([files] { return files; }, source);
    IDropTarget* target = m_main->DropTarget();
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    target->DragEnter(data, MK_LBUTTON, point, &effect);
    DWORD entered = effect;
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    target->DragOver(MK_LBUTTON, point, &effect);
    EXPECT_EQ(effect, entered);
    DialogAnswer confirm(
        kAppTitle, [&](HWND box) { Click(box, button); }, button ? 1 : 0);
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    target->Drop(data, 0, point, &effect);
    data->Release();
    PumpFor(300);
    EXPECT_EQ(confirm.Answered(), button ? 1 : 0);
    return effect;
  }

  TempFolder folder;
  std::string archive = folder / "arch.zip";
};

TEST_F(DragDropTest, DroppedFilesAreAddedOrRefused) {
  frmDocument& document = m_main->CreateDocumentWindow();
  m_main->LoadArchive(archive);
  const std::set<std::string> before = Entries(archive);
  POINTL onDocument = CentreOf(document.lvwZip());
  const struct {
    const char* what;
    std::vector<std::string> files;
    HWND source;
    int button;
    DWORD effect;
    std::set<std::string> added;
  } rows[] = {
      {"no files", {}, nullptr, 0, DROPEFFECT_NONE, {}},
      {"its own archive", {archive}, nullptr, 0, DROPEFFECT_NONE, {}},
      {"its own rows", {folder / "in\\g.dat"}, document.Window(), 0, DROPEFFECT_NONE, {}},
      {"declined", {folder / "in\\g.dat"}, nullptr, IDNO, DROPEFFECT_COPY, {}},
      // Relative to the dropped item's folder, folder names kept, whatever Options says.
      {"a folder and a file",
       {folder / "in\\dir\\sub", folder / "in\\g.dat"},
       nullptr,
       IDYES,
       DROPEFFECT_COPY,
       {"sub/y.txt", "g.dat"}},
  };
  g_bStoreFolderNames = false;
  for (const auto& row : rows) {
    std::set<std::string> was = Entries(archive);
    EXPECT_EQ(Drop(row.files, onDocument, row.button, row.source), row.effect) << row.what;
    std::set<std::string> added;
    for (const std::string& name : Entries(archive)) {
      if (!was.count(name)) added.insert(name);
    }
    EXPECT_EQ(added, row.added) << row.what;
  }
  // The list shows what was added.
  EXPECT_EQ(document.m_cUnzip.FileCount(), static_cast<int32_t>(before.size()) + 2);
}

// On the empty area a ZIP file opens; other files become a new archive beside the first of them,
// named after it, with a number when that name is taken.
TEST_F(DragDropTest, DropOnTheEmptyAreaOpensOrMakesArchives) {
  POINTL empty = CentreOf(m_main->MdiClient());
  EXPECT_EQ(Drop({archive}, empty), DROPEFFECT_COPY);
  ASSERT_EQ(Documents(), 1);
  EXPECT_EQ(m_main->ActiveDocument()->m_cUnzip.ZipFile(), archive);
  auto closeActive = [&] {
    SendMessageA(m_main->MdiClient(), WM_MDIDESTROY,
                 reinterpret_cast<WPARAM>(m_main->ActiveDocument()->Window()), 0);
  };
  closeActive();
  WriteFileText(folder / "in\\g.zip", "a file in the way, not an archive");
  for (const char* made : {"g (2).zip", "g (3).zip"}) {
    EXPECT_EQ(Drop({folder / "in\\g.dat", folder / "in\\dir"}, empty), DROPEFFECT_COPY);
    EXPECT_EQ(Entries(folder / "in\\" + made),
              (std::set<std::string>{"g.dat", "dir/x.txt", "dir/sub/y.txt"}))
        << made;
    EXPECT_EQ(m_main->ActiveDocument()->m_cUnzip.ZipFile(), folder / "in\\" + made);
    closeActive();  // the area is empty again
  }
}

// The rows' files are made when the drop reads them, not before, in a folder of the drag's own;
// a drag cancelled with Escape makes nothing; the window's close removes them.
TEST_F(DragDropTest, DragOutExtractsOnlyAtTheDrop) {
  frmDocument& document = m_main->CreateDocumentWindow();
  m_main->LoadArchive(archive);
  std::vector<int32_t> rows;
  for (int32_t i = 1; i <= document.m_cUnzip.FileCount(); ++i) {
    if (document.m_cUnzip.FileStoredName(i) != "f.txt") rows.push_back(i);
  }
  DWORD effect = 0;
  {
    DragOut cancelled(document, rows);
    EXPECT_EQ(cancelled.Source()->QueryContinueDrag(FALSE, MK_LBUTTON), S_OK);
    EXPECT_EQ(DroppedFiles(cancelled.Data()),
              std::vector<std::string>{cancelled.Folder() + "\\dir"});
    EXPECT_EQ(cancelled.Source()->QueryContinueDrag(TRUE, MK_LBUTTON), DRAGDROP_S_CANCEL);
    EXPECT_TRUE(DroppedFiles(cancelled.Data()).empty());
    EXPECT_EQ(GetFileAttributesW(Wide(cancelled.Folder()).c_str()), INVALID_FILE_ATTRIBUTES);
  }
  DragOut drag(document, rows);
  const std::string made = drag.Folder() + "\\dir";
  EXPECT_EQ(DroppedFiles(drag.Data()), std::vector<std::string>{made});
  EXPECT_EQ(GetFileAttributesW(Wide(made).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(drag.Source()->QueryContinueDrag(FALSE, 0), DRAGDROP_S_DROP);
  EXPECT_EQ(DroppedFiles(drag.Data()), std::vector<std::string>{made});
  EXPECT_EQ(FilesUnder(made), (std::set<std::string>{"x.txt", "sub\\y.txt"}));
  EXPECT_EQ(ReadFileText(made + "\\sub\\y.txt"), "y");
  // Dropped back onto its own window, the rows are refused.
  IDropTarget* target = m_main->DropTarget();
  effect = DROPEFFECT_COPY;
  target->DragEnter(drag.Data(), MK_LBUTTON, CentreOf(document.lvwZip()), &effect);
  EXPECT_EQ(effect, DROPEFFECT_NONE);
  target->DragLeave();
  SendMessageA(document.Window(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(
      WaitUntil([&] { return GetFileAttributesW(Wide(made).c_str()) == INVALID_FILE_ATTRIBUTES; }));
}

// Add Folder takes everything below the folder: by Add Files' rules where folder names are
// stored, else relative to the folder it lies in, never flattened.
TEST_F(DragDropTest, AddFolderTakesTheWholeTree) {
  frmDocument& document = m_main->CreateDocumentWindow();
  ASSERT_TRUE(document.NewArchive(folder / "new.zip"));
  g_bStoreFolderNames = false;
  document.AddFolder(folder / "in\\dir");
  EXPECT_EQ(Entries(folder / "new.zip"), (std::set<std::string>{"dir/x.txt", "dir/sub/y.txt"}));
  g_bStoreFolderNames = true;
  g_sBasePath = folder / "in\\dir";
  document.AddFolder(folder / "in\\dir\\sub");
  EXPECT_EQ(Entries(folder / "new.zip"),
            (std::set<std::string>{"dir/x.txt", "dir/sub/y.txt", "sub/y.txt"}));
  EXPECT_EQ(document.m_cUnzip.FileCount(), 3);
  g_bStoreFolderNames = false;
  g_sBasePath = "C:\\";
}

// An encrypted entry asks for its password when the drop reads the files, not before.
TEST_F(DragDropTest, DragOutAsksForPasswordsAtTheDrop) {
  Recorder password;
  password.password = "pw";
  cZip zip;
  zip.Listener(&password);
  zip.ZipFile(folder / "secret.zip");
  zip.BasePath(folder / "in");
  zip.Encrypt(true);
  zip.AddFileSpec(folder / "in\\f.txt");
  zip.Zip();
  frmDocument& document = m_main->CreateDocumentWindow();
  m_main->LoadArchive(folder / "secret.zip");
  DialogAnswer asked("Password Required", [](HWND dialog) {
    SetDlgItemTextA(dialog, frmPassword::kTxtPassword, "pw");
    Click(dialog, frmPassword::kCmdOK);
  });
  DragOut drag(document, {1});
  EXPECT_EQ(DroppedFiles(drag.Data()).size(), 1u);
  EXPECT_EQ(asked.Answered(), 0);
  drag.Source()->QueryContinueDrag(FALSE, 0);
  EXPECT_EQ(DroppedFiles(drag.Data()), std::vector<std::string>{drag.Folder() + "\\f.txt"});
  EXPECT_EQ(asked.Answered(), 1);
  EXPECT_EQ(ReadFileText(drag.Folder() + "\\f.txt"), "f");
}

}  // namespace
}  // namespace corvane
