// The command line of lorvantide-raster: sub-command, options, help and
// version, and the exit status.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "windows/processes.hpp"

// `words` are the arguments after the program name. Returns the exit status:
// 0 when the command wrote every output, 1 after a message on `err`
// otherwise. Progress goes to `err` when `err_is_terminal` and -q was not
// given.
int run_command(const std::vector<std::string>& words, std::FILE* out, std::FILE* err, bool err_is_terminal);
// The same on the processes of an MPI run (every rank calls it): channel
// shares its tiles among them; only rank 0 prints progress, warnings and the
// summary, and every rank returns the run's status. Any other command is
// refused on more than one process.
int run_command(const std::vector<std::string>& words, std::FILE* out, std::FILE* err, bool err_is_terminal,
                Processes& processes);

extern const char* const kUsage;
