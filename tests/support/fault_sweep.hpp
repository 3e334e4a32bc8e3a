// Every call of one kind failed in turn, through the preloaded shim of
// tests/faults/shim: the program is run for N = 1, 2, ... with the Nth
// matching call failing (or bringing a signal), until a run no longer reaches
// an Nth call. The caller checks what each run left.
#pragma once

#include <functional>
#include <map>
#include <string>

using Environment = std::map<std::string, std::string>;

// The environment that makes the shim fail `fault` ("rename:2:*/out*"), or
// bring `signal` at it, in a program (sanitized builds included).
Environment fault_environment(const std::string& shim, const std::string& fault, int signal = 0);

// Runs `each(fault, environment)` for `kind` calls on paths matching
// `pattern`, N = 1, 2, ... while the Nth call comes (at most 400). Returns
// how many calls there were.
int sweep_calls(const std::string& shim, const std::string& kind, const std::string& pattern, int signal,
                const std::function<void(const std::string& fault, const Environment& env)>& each);
