// The 600 board's display formats and the 630 expander's colours, as the runner's screenshots
// show them, on our own ROMs.
#include "e2e/headless_fixture.h"
#include "frontend/screen.h"

namespace {

constexpr uint32_t WHITE = 0xFFFFFFFF, BLACK = 0xFF000000;

class Display : public Headless {
protected:
    // Boots BASIC with the configuration (the shipped one when empty), runs the steps and
    // writes a screenshot; returns the printed screen.
    Result basic(const std::string& config, std::vector<std::string> steps, const fs::path& png = {})
    {
        std::vector<std::string> args = {"--headless"};
        if (!config.empty())
            args.push_back(config);
        args.insert(args.end(), {"--until", "C/W/M ?", "--type", "C\\r\\r", "--until", "OK"});
        args.insert(args.end(), steps.begin(), steps.end());
        if (!png.empty())
            args.insert(args.end(), {"--screenshot", png.string()});
        args.push_back("--screen");
        return run(args, dir);
    }

    std::string config_with(const std::string& extra)
    {
        fs::path ini = dir / (std::to_string(configs++) + ".ini");
        write_file(ini, "[ROM]\nBASIC=basic.rom\nKERNEL=monitor.rom\n[RAM]\nRAMTOP=0x7FFF\n" + extra);
        return ini.string();
    }

private:
    int configs = 0;
};

uint32_t pixel(const Surface& s, int x, int y) { return s.pixels.at(size_t(y) * s.width + x); }

// The glyph of `c` at (x, y), each of its pixels drawn `wide` x `tall` times.
::testing::AssertionResult glyph_at(const Surface& s, int x, int y, int c, int wide, int tall, uint32_t fg,
                                    uint32_t bg)
{
    for (int row = 0; row < 8 * tall; row++)
        for (int col = 0; col < 8 * wide; col++) {
            bool lit = font_game[8 * c + row / tall] & (0x80 >> (col / wide));
            if (pixel(s, x + col, y + row) != (lit ? fg : bg))
                return ::testing::AssertionFailure()
                       << "pixel " << col << "," << row << " of the cell at " << x << "," << y << " is " << std::hex
                       << pixel(s, x + col, y + row);
        }
    return ::testing::AssertionSuccess();
}

// Offset 645 is column 5 of line 20 in 32 x 32, and column 5 of line 10 in 64 x 16.
TEST_F(Display, TheBoardRegisterSwitchesBetween32x32And64x16)
{
    Result narrow = basic("", {"--type", "POKE 53893,72\\r", "--until", "OK\n_"}, dir / "narrow.png");
    ASSERT_EQ(narrow.status, 0) << narrow.err;
    Surface a = read_png(dir / "narrow.png");
    ASSERT_EQ(a.width, 304);
    EXPECT_TRUE(glyph_at(a, 24 + 8 * 5, 16 + 8 * 20, 'H', 1, 1, WHITE, BLACK));

    // 20 lines scroll the 16 of 64 x 16; the H scrolls with the OK after its line.
    Result wide = basic("", {"--type", "POKE 55296,1\\r", "--until", "OK\n_", "--type", "FOR I=1 TO 20:PRINT I:NEXT\\r",
                             "--type", "POKE 53893,72\\r", "--until", "72\nOK\n_"},
                        dir / "wide.png");
    ASSERT_EQ(wide.status, 0) << wide.err;
    EXPECT_NE(wide.out.find(" 19\n 20\nOK\nPOKE 53893,72\nOK\n_\n"), std::string::npos) << wide.out;
    EXPECT_EQ(std::count(wide.out.begin(), wide.out.end(), '\n'), 16) << wide.out;
    EXPECT_NE(wide.out.find("\n 18  H\n"), std::string::npos) << "line 9 of 16\n" << wide.out;
    Surface b = read_png(dir / "wide.png");
    ASSERT_EQ(b.width, 560);
    EXPECT_TRUE(glyph_at(b, 24 + 8 * 5, 16 + 16 * 9, 'H', 1, 2, WHITE, BLACK));
}

// Colour byte n (bit 0 inverse, bits 1 to 3 red, green, blue) colours an "A" in column n of
// line 20; a configuration without the expander shows the same cells white on black.
TEST_F(Display, ColourCodesNormalAndInverse)
{
    const std::vector<std::string> steps = {"--type", "FOR I=0 TO 15:POKE 53888+I,65:POKE 57984+I,I:NEXT\\r",
                                            "--type", "POKE 55296,2\\r", "--until", "OK\n_"};
    Result r = basic(config_with("[Board]\nModel=600D\n[Video]\nColour=630\n"), steps, dir / "colour.png");
    ASSERT_EQ(r.status, 0) << r.err;
    Surface s = read_png(dir / "colour.png");
    ASSERT_FALSE(s.pixels.empty());
    for (int n = 0; n < 16; n++) {
        int code = n >> 1;
        auto level = [&](uint32_t full) {
            return BLACK | ((code & 1) ? full << 16 : 0) | ((code & 2) ? full << 8 : 0) | ((code & 4) ? full : 0);
        };
        uint32_t fg = code ? level(0xFF) : WHITE, bg = code ? level(0x50) : BLACK;
        if (n & 1)
            std::swap(fg, bg);
        EXPECT_TRUE(glyph_at(s, 24 + 8 * n, 16 + 8 * 20, 'A', 1, 1, fg, bg)) << "colour byte " << n;
    }

    Result plain = basic(config_with("[Board]\nModel=600D\n"), steps, dir / "plain.png");
    ASSERT_EQ(plain.status, 0) << plain.err;
    Surface p = read_png(dir / "plain.png");
    for (int n = 0; n < 16; n++)
        EXPECT_TRUE(glyph_at(p, 24 + 8 * n, 16 + 8 * 20, 'A', 1, 1, WHITE, BLACK)) << "colour byte " << n;
    Result peek = basic(config_with("[Board]\nModel=600D\n"), {"--type", "PRINT PEEK(57984)\\r", "--until", "OK\n_"});
    EXPECT_NE(peek.out.find("\n 226\n"), std::string::npos) << "an unmapped page reads its high byte\n" << peek.out;
}

// Our ROMs in each mode of the Screen menu: the lines of BASIC as typed, the tint as chosen.
TEST_F(Display, OwnRomsInEveryScreenMode)
{
    struct Mode {
        const char* ini;
        int width, height;
        int left, top, wide, tall;  // cell geometry: (left + col * 8 * wide, top + row * 8 * tall)
        uint32_t ink;
    } modes[] = {
        {"[Screen]\nScreen_size=0\nChar_size=0\n", 304, 296, 24, 16, 1, 1, WHITE},
        {"[Screen]\nScreen_size=1\nChar_size=0\nTint=green\n", 560, 296, 24, 16, 1, 1, 0xFF33FF66},
        {"[Screen]\nScreen_size=0\nChar_size=1\nTint=amber\n", 544, 568, 16, 24, 2, 2, 0xFFFFB000},
        {"[Screen]\nScreen_size=1\nChar_size=1\n", 544, 568, 16, 24, 1, 2, WHITE},
    };
    for (const Mode& m : modes) {
        SCOPED_TRACE(m.ini);
        fs::path png = dir / "mode.png";
        Result r = basic(config_with(m.ini), {"--type", "PRINT 2+3\\r", "--until", " 5\nOK"}, png);
        ASSERT_EQ(r.status, 0) << r.err;
        size_t at = r.out.find("31743 BYTES FREE\nOK\nPRINT 2+3\n 5\nOK\n");
        ASSERT_NE(at, std::string::npos) << r.out;
        int row = int(std::count(r.out.begin(), r.out.begin() + at, '\n')) + 3;
        Surface s = read_png(png);
        ASSERT_EQ(s.width, m.width);
        ASSERT_EQ(s.height, m.height);
        EXPECT_TRUE(glyph_at(s, m.left + 8 * m.wide, m.top + 8 * m.tall * row, '5', m.wide, m.tall, m.ink, BLACK));
    }
}

// A state keeps the format, the colours and the register: the screenshot after loading it in a
// new process equals the one taken when it was saved.
TEST_F(Display, StatesKeepFormatAndColours)
{
    std::string config = config_with("[Board]\nModel=600D\n[Video]\nColour=630\n");
    Result saved = basic(config,
                         {"--type", "POKE 55296,3\\r", "--until", "OK\n_", "--type",
                          "FOR I=0 TO 63:POKE 57344+I,I:NEXT\\r", "--until", "OK\n_", "--save-state",
                          (dir / "s.qst").string()},
                         dir / "saved.png");
    ASSERT_EQ(saved.status, 0) << saved.err;
    Result loaded = run({"--headless", config, "--load-state", (dir / "s.qst").string(), "--screenshot",
                         (dir / "loaded.png").string()});
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    Surface a = read_png(dir / "saved.png"), b = read_png(dir / "loaded.png");
    EXPECT_EQ(a.width, 560);
    EXPECT_TRUE(a.pixels == b.pixels) << "the loaded machine looks as the saved one";
    EXPECT_TRUE(std::count(a.pixels.begin(), a.pixels.end(), 0xFFFF0000u) > 0) << "cell 3 is inverse red";
}

} // namespace
