// One run of the unzip engine (listing, test or extraction), as Wiz_SingleEntryUnzip starts it.
#pragma once

#include "cvunzip.h"

namespace cv {

// Runs with the caller's records; returns a PK_/IZ_ code. Never throws; every worker thread has
// ended when it returns.
int RunUnzip(int ifnc, char** ifnv, int xfnc, char** xfnv, const DCL& options,
             USERFUNCTION* callbacks);

}  // namespace cv
