// Starting an external program (the KCS decoder, an editor) without a shell.
#pragma once
#include <string>
#include <vector>

// Where a started program works and writes: its folder and files for its standard output and
// error ("" keeps the caller's).
struct ProgramPlace {
    std::string folder, out, err;
};

// Runs args[0] (looked up on the PATH) with the other arguments; with wait, its exit status,
// -1 when it could not run or did not end normally.
int start_program(const std::vector<std::string>& args, bool wait, const ProgramPlace& place = {});
