#include "e2e/headless_fixture.h"

#include "host/process.h"

#include <algorithm>
#include <fstream>
#include <sstream>

std::string text_of(std::string printed)
{
    printed.erase(std::remove(printed.begin(), printed.end(), '\r'), printed.end());
    return printed;
}

std::string slurp(const fs::path& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

namespace {

uint32_t be32(const std::string& s, size_t at)
{
    return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 | uint32_t(uint8_t(s[at + 2])) << 8 |
           uint8_t(s[at + 3]);
}

} // namespace

Surface read_png(const fs::path& path)
{
    std::string png = slurp(path), z;
    Surface s;
    for (size_t at = 8; at + 12 <= png.size(); at += 12 + be32(png, at)) {
        std::string type = png.substr(at + 4, 4);
        if (type == "IHDR")
            s.width = int(be32(png, at + 8)), s.height = int(be32(png, at + 12));
        else if (type == "IDAT")
            z += png.substr(at + 8, be32(png, at));
    }
    std::string raw;
    for (size_t at = 2; at + 5 <= z.size();) {
        size_t n = uint8_t(z[at + 1]) | uint8_t(z[at + 2]) << 8;
        raw += z.substr(at + 5, n);
        if (z[at] & 1)
            break;
        at += 5 + n;
    }
    if (raw.size() != size_t(s.height) * (3 * s.width + 1))
        return {};
    for (int y = 0; y < s.height; y++)
        for (int x = 0; x < s.width; x++) {
            const char* p = &raw[size_t(y) * (3 * s.width + 1) + 1 + 3 * x];
            s.pixels.push_back(0xFF000000 | uint8_t(p[0]) << 16 | uint8_t(p[1]) << 8 | uint8_t(p[2]));
        }
    return s;
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

void Headless::SetUp()
{
    dir = fs::temp_directory_path() / ("quarzel-e2e-" + std::to_string(process_id()) + "-" +
                                       testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
}

void Headless::TearDown() { fs::remove_all(dir); }

Result Headless::run(const std::vector<std::string>& args, const fs::path& cwd)
{
    std::vector<std::string> command = {QUARZEL_EXE};
    command.insert(command.end(), args.begin(), args.end());
    int status = start_program(command, true, {cwd.string(), (dir / "out").string(), (dir / "err").string()});
    return {status, text_of(slurp(dir / "out")), text_of(slurp(dir / "err"))};
}

std::string without_blanks(const std::string& screen)
{
    std::string text;
    for (char c : screen)
        if (c != ' ' && c != '\n')
            text += c;
    return text;
}

const char* const mixed_line = "THEQUICKBROWNFOX:0123456789!\"#$%&'()*+,-./;<=>?JUMPS[]^OVER=";
