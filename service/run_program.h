#pragma once
// Runs a helper program to its end, without a shell.

#include <string>
#include <vector>

namespace ixan {

struct ProgramResult {
    bool started = false;
    // errno of the failed start when !started.
    int startError = 0;
    // The exit status; -1 when the program was ended by a signal.
    int exitStatus = -1;

    bool succeeded() const { return started && exitStatus == 0; }
};

// argv[0] is a program name looked up in PATH, or a path. The program gets standard
// input, output and error on /dev/null, the default signal mask and dispositions, and
// this process's environment. Blocks until it has ended.
ProgramResult runProgram(const std::vector<std::string>& argv);

}  // namespace ixan
