#pragma once
// Starting other programs. Arguments follow SplitCommandLine; a program name without "/" is
// looked up in $PATH. Only standard output and error are passed on (standard input reads
// /dev/null); no other file descriptor reaches the program.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/HResult.h"

// Starts `program` with the arguments of `commandLine` as its whole argv (argv[0] included, as
// the command line of the Windows call is; an empty line gives just the program), detached: it is
// never waited for, runs in its own session, and leaves no zombie behind. An empty `program`
// takes the first argument. S_OK once the program runs; the errno result when it cannot be
// started (a missing program gives HResultFromErrno(ENOENT)).
HRESULT StartProcess(const std::string& program, std::string_view commandLine);

// Runs argv[0] with `argv` and waits at most timeoutMs for it to end; *exitCode receives its exit
// status (128 + signal number when a signal ended it). A program still running at the time-out
// is killed and the result is HResultFromWin32(ERROR_TIMEOUT).
HRESULT RunProcess(const std::vector<std::string>& argv, unsigned timeoutMs, int* exitCode);

// The file that would be run for `program`, or empty when there is none.
std::optional<std::string> FindProgram(const std::string& program);
