// One run of the unzip engine (listing, test or extraction) as Wiz_SingleEntryUnzip starts it:
// which entries it takes and what it does with each.
#pragma once

#include <string>
#include <vector>

#include "core/progress.h"
#include "cvunzip.h"
#include "unzip/reporter.h"

namespace cv {

// Runs with the caller's records and names; every worker thread has ended when it returns. Names
// without the UTF-8 flag that are not valid UTF-8 are read in code page `nameCodePage` (0: 437).
// `progress` (may be empty) gets the run's progress as cvunzip.h says Wiz_SetProgress's
// callback does. Throws only what allocation throws.
UnzipOutcome RunUnzip(const DCL& options, USERFUNCTION* callbacks,
                      const std::vector<std::string>& include,
                      const std::vector<std::string>& exclude, unsigned nameCodePage,
                      ProgressMeter::Callback progress);

}  // namespace cv
