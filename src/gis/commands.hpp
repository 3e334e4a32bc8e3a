// The command line of lorvantide-raster: sub-command, options, help and
// version, and the exit status.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// `words` are the arguments after the program name. Returns the exit status:
// 0 when the command wrote every output, 1 after a message on `err`
// otherwise. Progress goes to `err` when `err_is_terminal` and -q was not
// given.
int run_command(const std::vector<std::string>& words, std::FILE* out, std::FILE* err, bool err_is_terminal);

extern const char* const kUsage;
