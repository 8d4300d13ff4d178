#include "e2e/headless_fixture.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

std::string slurp(const fs::path& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string busy_key_reader(uint16_t inch)
{
    const uint8_t code[] = {
        0xA9, 0x00, 0x8D, 0x80, 0x02,                  // LDA #0; STA $0280
        0xA0, 0xA0, 0xA2, 0x00, 0xCA, 0xD0, 0xFD,      // $0305: LDY #$A0; LDX #0; DEX; BNE *-1
        0x88, 0xD0, 0xF8,                              // DEY; BNE to LDX
        0x20, uint8_t(inch), uint8_t(inch >> 8),       // JSR inch
        0xAE, 0x80, 0x02, 0x9D, 0x00, 0xD1,            // LDX $0280; STA $D100,X
        0xEE, 0x80, 0x02, 0x4C, 0x05, 0x03,            // INC $0280; JMP $0305
    };
    return std::string(std::begin(code), std::end(code));
}

static std::string quote(const std::string& arg)
{
    std::string q = "'";
    for (char c : arg)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

void Headless::SetUp()
{
    dir = fs::temp_directory_path() / ("quarzel-e2e-" + std::to_string(::getpid()) + "-" +
                                       testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
}

void Headless::TearDown() { fs::remove_all(dir); }

Result Headless::run(const std::vector<std::string>& args, const fs::path& cwd)
{
    std::string command = cwd.empty() ? "" : "cd " + quote(cwd.string()) + " && ";
    command += quote(QUARZEL_EXE);
    for (const std::string& a : args) {
        command += ' ';
        command += quote(a);
    }
    command += " >" + quote((dir / "out").string());
    command += " 2>" + quote((dir / "err").string());
    int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir / "out"), slurp(dir / "err")};
}
