// The keyboard matrix editor's logic on a machine built with the default layout.
#include "frontend/keyboard_editor.h"

#include "config/config.h"
#include "config/rom.h"
#include "host/ids.h"
#include "machine/keyboard.h"
#include "machine/loop.h"
#include "machine/tape.h"
#include "machine_setup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

class KeyEditor : public testing::Test {
protected:
    void SetUp() override
    {
        build_from_ini("; the default layout\n");
        keyboard_open();
    }
    static std::string read(const std::string& path)
    {
        std::ifstream f(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(f), {}};
    }
    static bool same_tables(const KeyRecord (&keys)[128], const SpecialKey (&special)[9])
    {
        return !std::memcmp(keys, key_ref, sizeof key_ref) && !std::memcmp(special, key_function, sizeof key_function);
    }
};

TEST_F(KeyEditor, ClickPositionsNameTheirCells)
{
    int row, column;
    const struct {
        int x, y, row, column;
    } points[] = {{12, 30, 0, 0}, {38, 59, 0, 0}, {39, 60, 1, 1}, {227, 240, 7, 7}, {228, 100, -1, -1}, {100, 270, -1, -1}};
    for (auto p : points) {
        grid_cell(p.x, p.y, 12, 30, 27, 30, row, column);
        EXPECT_EQ(row, p.row) << p.x << "," << p.y;
        EXPECT_EQ(column, p.column) << p.x << "," << p.y;
    }
}

TEST_F(KeyEditor, SelectShowUnmapAndAssignKeys)
{
    ASSERT_EQ(key_ref[0x1E].row, 6);
    ASSERT_EQ(key_ref[0x1E].mask, 0xBF);
    keyboard_left_click(6, 1);
    EXPECT_EQ(ked.pc_key, "PC: 30");
    EXPECT_EQ(ked.message, " Press now Keyboard");
    EXPECT_EQ(OSICol, 1);

    keyboard_right_click(6, 1);
    EXPECT_EQ(key_ref[0x1E].row, 0xFF);
    EXPECT_EQ(key_ref[0x1E].mask, 0xFF);
    EXPECT_EQ(ked.pc_key, "PC: - - -");
    EXPECT_EQ(ked.message, " Key entry removed ");

    keyboard_left_click(7, 7);
    keyboard_key(58);
    EXPECT_EQ(key_ref[58].row, 7);
    EXPECT_EQ(key_ref[58].mask, 0xFE);
    EXPECT_EQ(ked.pc_key, "PC: 58");
    EXPECT_EQ(OSICol, -1) << "the selection is used up";

    keyboard_left_click(6, 1);
    keyboard_key(0x20);  // D now presses A as well; its old cell keeps its other keys
    EXPECT_EQ(key_ref[0x20].mask, 0xBF);
    keyboard_key(0x21);
    EXPECT_EQ(key_ref[0x21].row, 4) << "a key press without a selected cell changes nothing";
    keyboard_left_click(6, 1);
    keyboard_left_click(-1, -1);
    keyboard_key(0x21);
    EXPECT_EQ(key_ref[0x21].row, 4) << "a click beside the grid ends the selection";
}

TEST_F(KeyEditor, SpecialKeysAreMadeOfMappedCells)
{
    keyboard_button(KED_UP);
    EXPECT_EQ(ked.message, " Assign 1 or 2 fields");
    keyboard_left_click(6, 0);  // Q
    EXPECT_EQ(key_flag, 1);
    EXPECT_EQ(ked.message, " Click now second key");
    keyboard_left_click(0, 7);  // a cell that no PC key presses
    EXPECT_EQ(key_function[0].row1, 6);
    EXPECT_EQ(key_function[0].mask1, 0x7F);
    EXPECT_EQ(key_function[0].row2, 0);
    EXPECT_EQ(key_function[0].mask2, 0xFF);
    EXPECT_EQ(ked.message, " Special key is updated");
    keyboard_left_click(3, 0);
    EXPECT_EQ(ked.message, " Press now Keyboard") << "back to selecting cells";

    keyboard_button(KED_TAB);
    keyboard_left_click(7, 5);  // Shift Left
    keyboard_left_click(3, 0);  // W
    EXPECT_EQ(key_function[8].row1, 7);
    EXPECT_EQ(key_function[8].mask1, 0xFB);
    EXPECT_EQ(key_function[8].row2, 3);
    EXPECT_EQ(key_function[8].mask2, 0x7F);

    keyboard_button(KED_END);
    keyboard_left_click(0, 7);
    EXPECT_EQ(key_function[7].row1, 0) << "an unmapped first cell clears the whole record";
    EXPECT_EQ(key_function[7].mask1, 0xFF);
    EXPECT_EQ(key_function[7].mask2, 0xFF);
    EXPECT_EQ(key_flag, 0);
}

TEST_F(KeyEditor, SaveWritesTheLayoutAndCancelRestoresIt)
{
    std::string original = read(sztFileHome + "KEY.DAT");
    ASSERT_EQ(original.size(), 292u);
    KeyRecord keys[128];
    SpecialKey special[9];
    std::memcpy(keys, key_ref, sizeof keys);
    std::memcpy(special, key_function, sizeof special);

    keyboard_left_click(6, 3);
    keyboard_key(0x3B);
    std::string saved = temp_path("edited.dat");
    test_host->file_answers = {saved};
    keyboard_save();
    std::string bytes = read(saved);
    ASSERT_EQ(bytes.size(), 292u);
    std::string expected = original;
    expected[2 * 0x3B] = 6;
    expected[2 * 0x3B + 1] = char(0xEF);
    EXPECT_EQ(bytes, expected) << "only the changed record differs";
    EXPECT_EQ(sztFilePath, temp_path("")) << "the next chooser opens where this file went";

    keyboard_cancel();
    EXPECT_TRUE(same_tables(keys, special)) << "Cancel brings the layout back";
    SYS[5] = saved;
    LoadKeyboard();
    EXPECT_EQ(key_ref[0x3B].row, 6) << "the saved file loads back";
    EXPECT_EQ(key_ref[0x3B].mask, 0xEF);

    keyboard_open();
    std::memcpy(keys, key_ref, sizeof keys);
    keyboard_right_click(6, 3);
    SYS[5] = temp_path("gone.dat");
    keyboard_cancel();
    EXPECT_TRUE(same_tables(keys, special)) << "Cancel brings back the tables of the opening, file or no file";
    EXPECT_EQ(Abort, 1);

    test_host->file_answers.clear();  // a cancelled chooser writes nothing
    keyboard_save();
    EXPECT_TRUE(test_host->messages.empty());
    test_host->file_answers = {temp_path("no/such/folder/x.dat")};
    keyboard_save();
    ASSERT_EQ(test_host->messages.size(), 1u);
    EXPECT_EQ(test_host->messages[0].text, "Unable to write the keyboard layout " + temp_path("no/such/folder/x.dat"));
}

} // namespace
