#include "document/Properties.h"

#include <cstdio>

#include "document/EntryRows.h"
#include "document/frmDocument.h"
#include "unzip/cUnzip.h"

namespace corvane {
namespace {

std::string Bytes(uint64_t number) {
  return GroupedNumber(number) + (number == 1 ? " byte" : " bytes");
}

// The share of the size that compression saved, as the list's ratio column gives it.
std::string Saved(uint64_t size, uint64_t packed) {
  if (size == 0) return "0%";
  auto share = (static_cast<unsigned __int128>(packed) * 100 + size - 1) / size;
  return share >= 100 ? "0%" : std::to_string(100 - static_cast<int>(share)) + "%";
}

std::string Encryption(const cUnzip& unzip, int32_t i) {
  const std::string& method = unzip.FileCompressionMethod(i);
  if (method.rfind("AES-", 0) == 0) return "AES, " + method.substr(4) + "-bit key";
  if (method == "AES") return "AES, key length unknown (the entry's AES field is damaged)";
  return unzip.FileEncrypted(i) ? "Traditional (password)" : "None";
}

}  // namespace

std::string PropertiesText(const cUnzip& unzip, const std::vector<int32_t>& entries) {
  if (entries.size() == 1) {
    int32_t i = entries.front();
    const std::string& folder = unzip.FileDirectory(i);
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(unzip.FileCRC(i)));
    std::string modified = ModifiedText(unzip.FileDate(i));
    return "Name: " + unzip.Filename(i) + "\r\nFolder: " + (folder.empty() ? "(root)" : folder) +
           "\r\nSize: " + Bytes(unzip.FileSize(i)) +
           "\r\nPacked: " + Bytes(unzip.FilePackedSize(i)) +
           "\r\nRatio: " + EntryText(unzip, i, 3) +
           "\r\nMethod: " + unzip.FileCompressionMethod(i) +
           "\r\nEncryption: " + Encryption(unzip, i) + "\r\nCRC-32: " + crc +
           "\r\nModified: " + (modified.empty() ? "(no valid date)" : modified);
  }
  std::vector<int32_t> all = entries;
  if (all.empty()) {
    for (int32_t i = 1; i <= unzip.FileCount(); ++i) all.push_back(i);
  }
  uint64_t size = 0, packed = 0;
  size_t encrypted = 0;
  for (int32_t i : all) {
    size += unzip.FileSize(i);
    packed += unzip.FilePackedSize(i);
    encrypted += unzip.FileEncrypted(i);
  }
  std::string text =
      entries.empty() ? "Archive: " + unzip.ZipFile() + "\r\nEntries: " : "Selected entries: ";
  return text + GroupedNumber(all.size()) + "\r\nEncrypted entries: " + GroupedNumber(encrypted) +
         "\r\nTotal size: " + Bytes(size) + "\r\nTotal packed: " + Bytes(packed) +
         "\r\nRatio: " + Saved(size, packed);
}

void ShowProperties(HWND frame, const frmDocument& document) {
  std::vector<int32_t> entries = document.SelectedIndices();
  MessageBoxA(frame, PropertiesText(document.m_cUnzip, entries).c_str(), "Properties",
              MB_OK | MB_ICONINFORMATION);
}

}  // namespace corvane
