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

// Runs the zip engine once for zip's archive with its option record and file specifications (any
// number). Before the call a BasePath that is not blank becomes the current folder of its drive;
// a BasePath that is not a folder raises "path not found" and the engine is not called. The
// engine's callbacks raise zip's events. A missing library or entry point raises an error
// (ErrorSource); the engine's own failures are in the returned code.
EngineRun ZipCall(cZip& zip, ZPOPT& options, const std::vector<std::string>& fileSpecs);

}  // namespace mZip
}  // namespace corvane
