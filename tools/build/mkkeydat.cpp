// Builds the keyboard layout file (KEY.DAT) from its readable table.
//
// Table lines:  key SCAN ROW COLUMN            a PC scan code (hex) on an OSI matrix position
//               special N ROW COLUMN [ROW COLUMN]   special key N (0-8) pressing one or two keys
// COLUMN is the bit of the row byte (7 = leftmost); text after '#' is a comment.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: mkkeydat TABLE KEY.DAT\n");
        return 2;
    }
    unsigned char data[292];
    for (int i = 0; i < 128; i++) {
        data[2 * i] = 0xFF;      // no OSI key
        data[2 * i + 1] = 0xFF;
    }
    for (int i = 256; i < 292; i += 2) {
        data[i] = 0;             // row 0, mask $FF: presses nothing
        data[i + 1] = 0xFF;
    }
    std::ifstream table(argv[1]);
    std::string line;
    for (int number = 1; std::getline(table, line); number++) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string kind;
        if (!(words >> kind))
            continue;
        auto fail = [&] {
            std::fprintf(stderr, "%s:%d: cannot read: %s\n", argv[1], number, line.c_str());
            return 1;
        };
        int index, row, column;
        if (kind == "key") {
            if (!(words >> std::hex >> index >> std::dec >> row >> column) || index < 1 || index > 127 || row < 0 ||
                row > 7 || column < 0 || column > 7)
                return fail();
            data[2 * index] = row;
            data[2 * index + 1] = ~(1 << column);
        } else if (kind == "special") {
            if (!(words >> index) || index < 0 || index > 8)
                return fail();
            for (int half = 0; half < 2 && words >> row >> column; half++) {
                if (row < 0 || row > 7 || column < 0 || column > 7)
                    return fail();
                data[256 + 4 * index + 2 * half] = row;
                data[256 + 4 * index + 2 * half + 1] = ~(1 << column);
            }
        } else {
            return fail();
        }
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out || std::fwrite(data, 1, sizeof data, out) != sizeof data || std::fclose(out) != 0) {
        std::fprintf(stderr, "mkkeydat: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
