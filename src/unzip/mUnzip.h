#pragma once

#include <string>
#include <vector>

#include "cvunzip.h"
#include "enginecall/EngineCall.h"

namespace corvane {

class cUnzip;

namespace mUnzip {

// The source of every error the engine calls raise: "<executable name>.mUnzip".
std::string ErrorSource();

// Runs the unzip engine once, on the command runner's worker, for unzip with its option record,
// include and exclude names (any number; none takes every entry). The engine's callbacks raise
// unzip's events on the window thread and, in a listing, append to its catalogue there. A missing library or entry point raises an error (ErrorSource); the
// engine's own failures are in the returned code.
EngineRun UnzipCall(cUnzip& unzip, DCL& dcl, const std::vector<std::string>& includes,
                    const std::vector<std::string>& excludes);

// Fills version through the engine's version query, for unzip; raises like UnzipCall.
void Version(cUnzip& unzip, UZPVER& version);

// The path, relative to the target folder, that an extraction with these options writes for the
// entry name (as listed), as the engine's own name function gives it; empty when the entry writes
// no file. Raises like UnzipCall.
std::string EntryPath(const std::string& name, bool useFolderNames, bool spaceToUnderscore);

}  // namespace mUnzip
}  // namespace corvane
