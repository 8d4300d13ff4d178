// Runs `quarzel --headless` as a user would, in a private folder per test.
#pragma once
#include "host/host.h"
#include "machine_setup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

struct Result {
    int status;
    std::string out, err;
};

std::string slurp(const fs::path& path);
// A screenshot as the runner writes it (8-bit RGB in stored zlib blocks); empty when it is not one.
Surface read_png(const fs::path& path);
// What a program printed, with the line ends of Windows as plain new lines.
std::string text_of(std::string printed);

// What the screen shows with every blank and line end taken out, so that a line wrapped at the
// screen's edge reads as typed.
std::string without_blanks(const std::string& screen);
// A line of 60 capitals, digits and punctuation without blanks, for typing into BASIC.
extern const char* const mixed_line;

// A program for $0300 that stays busy for about 164,000 cycles before each call of the
// ROM's wait-for-a-key routine at `inch`, and puts each key it gets on the screen from $D100.
std::string busy_key_reader(uint16_t inch);

class Headless : public testing::Test {
protected:
    fs::path dir;

    void SetUp() override;
    void TearDown() override;
    // Runs the program from the build's program folder with these arguments, in the folder
    // `cwd` when it is given.
    Result run(const std::vector<std::string>& args, const fs::path& cwd = {});
};
