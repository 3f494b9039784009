// One run of the unzip engine (listing, test or extraction) as Wiz_SingleEntryUnzip starts it:
// which entries it takes and what it does with each.
#pragma once

#include <string>
#include <vector>

#include "cvunzip.h"
#include "unzip/reporter.h"

namespace cv {

// Runs with the caller's records and names; every worker thread has ended when it returns. Throws
// only what allocation throws.
UnzipOutcome RunUnzip(const DCL& options, USERFUNCTION* callbacks,
                      const std::vector<std::string>& include,
                      const std::vector<std::string>& exclude);

}  // namespace cv
