#include "frontend/headless/steps.h"

#include "machine/memory.h"
#include "machine/video.h"

#include <cstdio>

std::vector<std::string> screen_rows()
{
    int width = display_columns();
    std::vector<std::string> rows;
    for (int r = 0; r < display_rows(); r++) {
        std::string line;
        for (int c = 0; c < width; c++) {
            uint8_t b = RAMptr[(VIDCadr + r * width + c) & 0xFFFF];
            line += (b >= 0x20 && b < 0x7F) ? char(b) : '.';
        }
        line.erase(line.find_last_not_of(' ') + 1);
        rows.push_back(line);
    }
    return rows;
}

namespace {

bool screen_contains(const std::string& text)
{
    std::string all;
    for (const std::string& row : screen_rows())
        all += row + '\n';
    return all.find(text) != std::string::npos;
}

} // namespace

int run_wait(const Step& s)
{
    run_cycles(s.number);
    return 0;
}

int run_until_text(const Step& s)
{
    if (run_until([&] { return screen_contains(s.values[0]); }, options.limit))
        return 0;
    std::fprintf(stderr, "quarzel: --until \"%s\" timed out after %llu cycles\n", s.values[0].c_str(),
                 (unsigned long long)options.limit);
    return 3;
}

int run_until_address(const Step& s)
{
    if (run_until_pc(s.number, options.limit))
        return 0;
    std::fprintf(stderr, "quarzel: --until-pc %04llX timed out after %llu cycles\n", (unsigned long long)s.number,
                 (unsigned long long)options.limit);
    return 3;
}
