// The subcommands of the cvz tool and what they share. Each subcommand takes the arguments after
// its name and returns the exit code: the engine's return code, or kUsageError.
#pragma once

#include <string>
#include <vector>

using CvzArgs = std::vector<std::string>;

// The exit code of a command line cvz does not understand.
inline constexpr int kUsageError = 10;

// Prints the problem and a pointer to --help; returns kUsageError.
int Usage(const std::string& problem);
// The password given with -p; empty when none was.
extern std::string g_password;
// Reads the value of --codepage into *codePage; false (after printing why) when it is not a
// number.
bool ParseCodePage(const std::string& value, unsigned* codePage);
// Callbacks both engines take: a print line to stdout, and the password of -p.
int PrintLine(char* text, unsigned long length);
int AnswerPassword(char* buffer, int size, const char* prompt, const char* name);

// The progress line on stderr: set by --progress, or when stderr is a terminal and the command
// is not quiet. Drawn only on a terminal and not quiet; with --progress elsewhere the callback is
// set and draws nothing (what the benchmark measures).
extern bool g_forceProgress;
bool ProgressWanted(bool quiet);
// The callback both engines take (void* context: the quiet flag), and the end of the line.
int DrawProgress(void* quiet, unsigned long long bytesDone, unsigned long long bytesTotal,
                 unsigned long long entriesDone, unsigned long long entriesTotal);
void EndProgress();
// Takes the line away before a line goes to stdout.
void ClearProgress();

int CvzList(const CvzArgs& args);
int CvzTest(const CvzArgs& args);
int CvzExtract(const CvzArgs& args);
int CvzAdd(const CvzArgs& args);
int CvzDelete(const CvzArgs& args);
