// Running a program as a child process with given standard input, capturing what it writes.
// All process spawning of the tool's tests goes through here.
#pragma once

#include <string>
#include <vector>

struct ProgramRun {
    int status = -1;  // exit status; -1 when it could not start or did not exit normally
    std::string out;
    std::string err;
};

// Runs `program` (a path, or a name looked up in PATH) with `arguments`. Standard input is
// read from `inputPath`; standard output goes to `outputPath` when it is given (and is then
// not captured), otherwise to a temporary file whose content is returned. Standard error is
// captured from a file, or from a pseudo-terminal when `errorToTerminal` is set.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& inputPath = "/dev/null",
                      const std::string& outputPath = "", bool errorToTerminal = false);
