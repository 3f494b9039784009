#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

class cUnzip;
class frmDocument;

// The details the listing gives of the entries (catalogue indices) of unzip: for one entry its
// name, folder, sizes, ratio, method, encryption (AES with its key length), CRC-32 and date and
// time; for several, their count and totals; for none, the archive's path and the totals of all
// its entries. Lines are separated by CR LF; sizes in the user's number format.
std::string PropertiesText(const cUnzip& unzip, const std::vector<int32_t>& entries);

// Properties on document: PropertiesText of its selected entries (of the archive when none is
// selected), in a box owned by frame captioned "Properties".
void ShowProperties(HWND frame, const frmDocument& document);

}  // namespace corvane
