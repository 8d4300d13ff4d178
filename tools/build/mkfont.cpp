// Compiles a character set drawn as text art into a C++ array of 2048 bytes.
//
// The text: "= CODE name" (CODE in hex) starts a glyph, the next 8 lines are its rows of
// 8 characters, "#" lit and "." dark. Every code from 00 to FF appears exactly once.
// Blank lines and lines starting with "#" outside a glyph are comments.
#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: mkfont TEXT ARRAY_NAME OUTPUT.cpp\n");
        return 2;
    }
    unsigned char font[2048] = {};
    bool seen[256] = {};
    std::ifstream in(argv[1]);
    std::string line;
    int number = 0, code = -1, row = 8;
    auto fail = [&](const char* why) {
        std::fprintf(stderr, "%s:%d: %s\n", argv[1], number, why);
        return 1;
    };
    while (std::getline(in, line)) {
        number++;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (row < 8) {
            if (line.size() != 8 || line.find_first_not_of("#.") != std::string::npos)
                return fail("a glyph row is 8 characters of '#' and '.'");
            for (int x = 0; x < 8; x++)
                if (line[x] == '#')
                    font[code * 8 + row] |= 0x80 >> x;
            row++;
        } else if (line.rfind("= ", 0) == 0) {
            code = std::stoi(line.substr(2, 2), nullptr, 16);
            if (code < 0 || code > 255 || seen[code])
                return fail("glyph code missing or repeated");
            seen[code] = true;
            row = 0;
        } else if (!line.empty() && line[0] != '#') {
            return fail("expected \"= CODE name\"");
        }
    }
    if (row < 8)
        return fail("the last glyph is cut short");
    for (int c = 0; c < 256; c++)
        if (!seen[c]) {
            std::fprintf(stderr, "%s: glyph %02X is missing\n", argv[1], c);
            return 1;
        }
    std::FILE* out = std::fopen(argv[3], "w");
    if (!out)
        return fail("cannot write the output");
    std::fprintf(out, "// Generated from %s by mkfont.\n#include <cstdint>\n\nextern const uint8_t %s[2048] = {", argv[1], argv[2]);
    for (int i = 0; i < 2048; i++)
        std::fprintf(out, "%s0x%02X,", i % 16 ? " " : "\n    ", font[i]);
    std::fprintf(out, "\n};\n");
    return std::fclose(out) == 0 ? 0 : 1;
}
