#include "document/OpenFolder.h"

#include <bcrypt.h>
#include <objbase.h>
#include <shellapi.h>
#include <shobjidl.h>
#include <urlmon.h>

#include <algorithm>
#include <cctype>

#include "platform/Error.h"
#include "platform/Text.h"
#include "settings/AppSettings.h"

namespace corvane {
namespace {

constexpr char kSource[] = "OpenFolder";
constexpr wchar_t kStream[] = L":Zone.Identifier";

std::wstring Below(const std::wstring& folder, const std::wstring& relative) {
  return relative.empty() ? folder : folder + L"\\" + relative;
}

bool StampOf(const std::wstring& path, uint64_t& size, FILETIME& written) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(LongPathForm(path).c_str(), GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  written = data.ftLastWriteTime;
  return true;
}

// The files and folders below folder, as paths relative to it; a folder comes before what it
// holds. Links are listed as files and never followed.
void Walk(const std::wstring& folder, const std::wstring& relative,
          std::vector<std::wstring>& files, std::vector<std::wstring>& folders) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(LongPathForm(Below(folder, relative) + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring path = relative.empty() ? name : relative + L"\\" + name;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      folders.push_back(path);
      Walk(folder, path, files, folders);
    } else {
      files.push_back(path);
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

// Removes the folders listed by Walk that are empty now, the deepest first, then folder itself.
void RemoveEmptyFolders(const std::wstring& folder, const std::vector<std::wstring>& folders) {
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
    RemoveDirectoryW(LongPathForm(Below(folder, *it)).c_str());
  }
  RemoveDirectoryW(LongPathForm(folder).c_str());
}

void RemoveTree(const std::wstring& folder) {
  std::vector<std::wstring> files, folders;
  Walk(folder, L"", files, folders);
  for (const std::wstring& file : files) {
    std::wstring path = LongPathForm(Below(folder, file));
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
  }
  RemoveEmptyFolders(folder, folders);
}

std::wstring RandomName() {
  unsigned char bytes[8];
  if (!BCRYPT_SUCCESS(
          BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
    throw SystemError(kSource, "BCryptGenRandom", ERROR_GEN_FAILURE);
  }
  std::wstring name;
  for (unsigned char b : bytes) {
    name += L"0123456789abcdef"[b >> 4];
    name += L"0123456789abcdef"[b & 15];
  }
  return name;
}

// The folder the user picks to keep files in, or empty when they cancel.
std::wstring PickFolder(HWND owner) {
  IFileOpenDialog* dialog = nullptr;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&dialog)))) {
    return {};
  }
  std::wstring folder;
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM);
  dialog->SetTitle(L"Keep the changed files in");
  IShellItem* item = nullptr;
  if (SUCCEEDED(dialog->Show(owner)) && SUCCEEDED(dialog->GetResult(&item))) {
    wchar_t* path = nullptr;
    if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
      folder = path;
      CoTaskMemFree(path);
    }
    item->Release();
  }
  dialog->Release();
  return folder;
}

// Moves the files into target, keeping their folders below it; returns the ones that stayed.
std::vector<std::wstring> MoveInto(const std::wstring& folder, const std::wstring& target,
                                   const std::vector<std::wstring>& files) {
  std::vector<std::wstring> stayed;
  for (const std::wstring& file : files) {
    for (size_t slash = file.find(L'\\'); slash != std::wstring::npos;
         slash = file.find(L'\\', slash + 1)) {
      CreateDirectoryW(LongPathForm(Below(target, file.substr(0, slash))).c_str(), nullptr);
    }
    // A file of the same name there is never replaced.
    if (!MoveFileExW(LongPathForm(Below(folder, file)).c_str(),
                     LongPathForm(Below(target, file)).c_str(), MOVEFILE_COPY_ALLOWED)) {
      stayed.push_back(file);
    }
  }
  return stayed;
}

std::string ListOf(const std::wstring& folder, const std::vector<std::wstring>& files) {
  std::string list;
  for (const std::wstring& file : files) list += "\r\n" + Utf8(Below(folder, file));
  return list;
}

}  // namespace

std::wstring LongPathForm(const std::wstring& path) {
  if (path.size() < MAX_PATH - 12 || path.rfind(L"\\\\?\\", 0) == 0) return path;
  if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
  return L"\\\\?\\" + path;
}

std::wstring OpenFolder::Root() {
  // GetTempPath2W (Windows 11, later updates of 10) gives SYSTEM its own folder; the headers and
  // Wine 8 lack it, so it is looked up.
  using GetTempPath2 = DWORD(WINAPI*)(DWORD, LPWSTR);
  auto getTempPath2 = reinterpret_cast<GetTempPath2>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTempPath2W")));
  wchar_t buffer[MAX_PATH + 1] = L"";
  DWORD length = getTempPath2 ? getTempPath2(MAX_PATH + 1, buffer) : 0;
  if (!length || length > MAX_PATH) length = GetTempPathW(MAX_PATH + 1, buffer);
  if (!length || length > MAX_PATH) throw SystemError(kSource, "GetTempPath");
  std::wstring root(buffer, length);
  if (root.back() != L'\\') root += L'\\';
  return root + L"Corvane";
}

OpenFolder::~OpenFolder() {
  try {
    Close(nullptr);
  } catch (...) {
    // What cannot be removed stays; the next start's sweep does not take it.
  }
}

const std::string& OpenFolder::Path() {
  if (Exists()) return m_sPath;
  std::wstring root = Root();
  if (!CreateDirectoryW(LongPathForm(root).c_str(), nullptr) &&
      GetLastError() != ERROR_ALREADY_EXISTS) {
    throw SystemError(kSource, Utf8(root));
  }
  std::wstring path;
  // A name that exists already is never taken over: another process may own it.
  for (int attempt = 0;; ++attempt) {
    path = root + L"\\" + RandomName();
    if (CreateDirectoryW(LongPathForm(path).c_str(), nullptr)) break;
    if (GetLastError() != ERROR_ALREADY_EXISTS || attempt == 8) {
      throw SystemError(kSource, Utf8(path));
    }
  }
  // Opened without FILE_SHARE_DELETE: no one can delete it while this process lives.
  UniqueKernelHandle lock(CreateFileW(LongPathForm(Below(path, OpenFolder::kLockFile)).c_str(),
                                      GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_HIDDEN, nullptr));
  if (!lock) {
    DWORD error = GetLastError();
    RemoveDirectoryW(LongPathForm(path).c_str());
    throw SystemError(kSource, Utf8(Below(path, OpenFolder::kLockFile)), error);
  }
  m_lock = std::move(lock);
  m_path = path;
  m_sPath = Utf8(path);
  return m_sPath;
}

void OpenFolder::NoteNewFiles() {
  if (!Exists()) return;
  std::vector<std::wstring> files, folders;
  Walk(m_path, L"", files, folders);
  for (const std::wstring& file : files) {
    if (m_noted.count(file) || file == OpenFolder::kLockFile) continue;
    Stamp stamp;
    if (StampOf(Below(m_path, file), stamp.size, stamp.written)) m_noted[file] = stamp;
  }
}

bool OpenFolder::Unchanged(const std::wstring& relative) const {
  auto noted = m_noted.find(relative);
  Stamp now;
  return noted != m_noted.end() && StampOf(Below(m_path, relative), now.size, now.written) &&
         now.size == noted->second.size &&
         CompareFileTime(&now.written, &noted->second.written) == 0;
}

bool OpenFolder::MakeRoom(const std::string& relative) {
  std::wstring file = Wide(relative);
  std::wstring path = LongPathForm(Below(Wide(Path()), file));
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    m_noted.erase(file);
    return true;
  }
  if (!Unchanged(file) || !DeleteFileW(path.c_str())) return false;
  m_noted.erase(file);
  return true;
}

void OpenFolder::Close(HWND owner) {
  if (!Exists()) return;
  std::vector<std::wstring> files, folders, kept;
  Walk(m_path, L"", files, folders);
  for (const std::wstring& file : files) {
    if (file == OpenFolder::kLockFile) continue;
    if (!Unchanged(file) || !DeleteFileW(LongPathForm(Below(m_path, file)).c_str())) {
      kept.push_back(file);
    }
  }
  if (!kept.empty() && owner) {
    std::string text = "These files opened from the archive were changed or are still open:\r\n" +
                       ListOf(m_path, kept) +
                       "\r\n\r\nDo you want to keep them in a folder you choose? (No leaves them "
                       "where they are.)";
    if (MessageBoxW(owner, Wide(text).c_str(), Wide(kAppTitle).c_str(),
                    MB_YESNO | MB_ICONWARNING) == IDYES) {
      std::wstring target = PickFolder(owner);
      if (!target.empty()) {
        kept = MoveInto(m_path, target, kept);
        if (!kept.empty()) {
          std::string left =
              "These files could not be moved and stay where they are:\r\n" + ListOf(m_path, kept);
          MessageBoxW(owner, Wide(left).c_str(), Wide(kAppTitle).c_str(), MB_OK | MB_ICONWARNING);
        }
      }
    }
  }
  m_lock.Reset();
  DeleteFileW(LongPathForm(Below(m_path, OpenFolder::kLockFile)).c_str());
  RemoveEmptyFolders(m_path, folders);
  m_path.clear();
  m_sPath.clear();
  m_noted.clear();
}

void OpenFolder::RemoveStale() {
  std::wstring root;
  try {
    root = Root();
  } catch (const Error&) {
    return;
  }
  std::vector<std::wstring> folders;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(LongPathForm(root + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = found.cFileName;
    if (name != L"." && name != L".." && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      folders.push_back(root + L"\\" + name);
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
  for (const std::wstring& folder : folders) {
    std::wstring lock = LongPathForm(Below(folder, OpenFolder::kLockFile));
    SetFileAttributesW(lock.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileW(lock.c_str())) {
      RemoveTree(folder);
    } else if (GetLastError() == ERROR_FILE_NOT_FOUND) {
      // Kept by the user, or made by a start that ended before its lock: only an empty one goes.
      RemoveDirectoryW(LongPathForm(folder).c_str());
    } else {
      SetFileAttributesW(lock.c_str(), FILE_ATTRIBUTE_HIDDEN);
    }
  }
}

int ZoneOfMark(const std::string& mark) {
  auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  auto trim = [](std::string s) {
    size_t first = s.find_first_not_of(" \t\r"), last = s.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
  };
  int zone = -1;
  bool inSection = false;
  size_t start = 0;
  while (start < mark.size()) {
    size_t end = std::min(mark.find('\n', start), mark.size());
    std::string line = trim(mark.substr(start, end - start));
    start = end + 1;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      inSection = lower(trim(line.substr(1, line.size() - 2))) == "zonetransfer";
      continue;
    }
    size_t equals = line.find('=');
    if (!inSection || equals == std::string::npos) continue;
    std::string value = trim(line.substr(equals + 1));
    if (lower(trim(line.substr(0, equals))) != "zoneid" || value.empty() || value.size() > 9 ||
        value.find_first_not_of("0123456789") != std::string::npos) {
      continue;
    }
    zone = std::stoi(value);
  }
  return zone;
}

std::optional<std::string> ReadZoneMark(const std::string& path) {
  UniqueKernelHandle stream(CreateFileW(LongPathForm(Wide(path) + kStream).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!stream) return std::nullopt;
  std::string mark;
  char buffer[4096];
  DWORD read = 0;
  // A mark is a few lines; more than a buffer's worth is read no further.
  if (ReadFile(stream.Get(), buffer, sizeof buffer, &read, nullptr)) mark.assign(buffer, read);
  return mark;
}

bool WriteZoneMark(const std::string& path, const std::string& mark) {
  UniqueKernelHandle stream(CreateFileW(LongPathForm(Wide(path) + kStream).c_str(), GENERIC_WRITE,
                                        0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  return stream &&
         WriteFile(stream.Get(), mark.data(), static_cast<DWORD>(mark.size()), &written, nullptr) &&
         written == mark.size();
}

int NetworkZone(const std::string& path) {
  std::wstring wide = Wide(path);
  bool unc = wide.rfind(L"\\\\", 0) == 0 && wide.rfind(L"\\\\?\\", 0) != 0;
  bool mapped = wide.size() >= 3 && wide[1] == L':' &&
                GetDriveTypeW(wide.substr(0, 3).c_str()) == DRIVE_REMOTE;
  if (!unc && !mapped) return -1;
  constexpr int kInternet = 3;
  IInternetSecurityManager* manager = nullptr;
  if (FAILED(CoCreateInstance(CLSID_InternetSecurityManager, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&manager)))) {
    return kInternet;
  }
  DWORD zone = kInternet;
  if (FAILED(manager->MapUrlToZone(wide.c_str(), &zone, MUTZ_ISFILE | MUTZ_DONT_UNESCAPE))) {
    zone = kInternet;
  }
  manager->Release();
  return static_cast<int>(zone);
}

DWORD OpenWithShell(HWND owner, const std::string& path, const std::string& folder) {
  std::wstring file = Wide(path), directory = Wide(folder);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.hwnd = owner;
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.lpDirectory = directory.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (ShellExecuteExW(&info)) return 0;
  DWORD error = GetLastError();
  if (error) return error;
  // Some failures come only as the old-style code in hInstApp.
  switch (reinterpret_cast<INT_PTR>(info.hInstApp)) {
    case SE_ERR_NOASSOC:
      return ERROR_NO_ASSOCIATION;
    case SE_ERR_ACCESSDENIED:
      return ERROR_ACCESS_DENIED;
    case SE_ERR_FNF:
      return ERROR_FILE_NOT_FOUND;
    default:
      return ERROR_GEN_FAILURE;
  }
}

}  // namespace corvane
