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

int CvzList(const CvzArgs& args);
int CvzTest(const CvzArgs& args);
int CvzExtract(const CvzArgs& args);
int CvzAdd(const CvzArgs& args);
int CvzDelete(const CvzArgs& args);
