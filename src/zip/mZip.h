#pragma once

#include <string>
#include <vector>

#include "cvzip.h"
#include "enginecall/EngineCall.h"

namespace corvane {

class cZip;

namespace mZip {

// The source of every error the engine calls raise: "<executable name>.mZip".
std::string ErrorSource();

// Runs the zip engine once, on the command runner's worker, for zip's archive with its option
// record and file names (any number). A BasePath that is not blank is the base of stored names and
// of relative file names; one that is not a folder raises "path not found" and the engine is not
// called. The process's current folder is left as it is. The engine's callbacks raise zip's events
// on the window thread. A missing library or entry point raises an error (ErrorSource); the
// engine's own failures are in the returned code.
EngineRun ZipCall(cZip& zip, ZPOPT& options, const std::vector<std::string>& fileSpecs);

}  // namespace mZip
}  // namespace corvane
