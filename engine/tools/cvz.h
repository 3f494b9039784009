// Subcommands of the cvz tool. Each takes the arguments after its name and returns the exit code
// (the engine's return code).
#pragma once

#include <string>
#include <vector>

using CvzArgs = std::vector<std::string>;

int CvzList(const CvzArgs& args);
int CvzTest(const CvzArgs& args);
int CvzExtract(const CvzArgs& args);
int CvzAdd(const CvzArgs& args);
int CvzDelete(const CvzArgs& args);
