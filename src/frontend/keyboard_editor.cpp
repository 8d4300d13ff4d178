#include "frontend/keyboard_editor.h"

#include "host/files.h"
#include "host/host.h"
#include "host/ids.h"
#include "machine/keyboard.h"
#include "machine/tape.h"

#include <cstring>

int OSIRow, OSICol = -1;
int key_fno;
int key_flag;
KeyEditorView ked;

const char* const matrix_legends[8][8] = {
    {"1 !", "2 \"", "3 #", "4 $", "5 %", "6 &", "7 '", ""},
    {"8 (", "9 )", "0 @", ": *", "- =", "Rub Out", "", ""},
    {". >", "L \\", "O _", "LF", "CR", "", "", ""},
    {"W", "E", "R", "T", "Y", "U", "I", ""},
    {"S", "D", "F", "G", "H", "J", "K", ""},
    {"X", "C", "V", "B", "N", "M", ", <", ""},
    {"Q", "A", "Z", "Space", "/ ?", "; +", "P", ""},
    {"Repeat", "Ctrl", "Esc", "", "", "Shift Left", "Shift Right", "Shift Lock"},
};

namespace {

// The special-key buttons and the records they select.
const struct {
    int id;
    int number;
} special_buttons[] = {
    {KED_UP, 0},     {KED_DOWN, 1},   {KED_LEFT, 2}, {KED_RIGHT, 3}, {KED_INSERT, 4},
    {KED_DELETE, 5}, {KED_HOME, 6},   {KED_END, 7},  {KED_TAB, 8},
};

uint8_t column_mask(int column) { return 0xFF ^ (0x80 >> column); }

void show_pc_key(int k) { ked.pc_key = "PC: " + std::to_string(k); }

// The tables as the dialog found them, for Cancel.
KeyRecord opened_keys[128];
SpecialKey opened_special[9];

bool on_grid(int row, int column) { return row >= 0 && row < 8 && column >= 0 && column < 8; }

// The first PC key that presses the cell, 128 for none.
int pc_key_of(int row, int column)
{
    for (int k = 1; k < 128; k++)
        if (key_ref[k].row == row && key_ref[k].mask == column_mask(column))
            return k;
    return 128;
}

} // namespace

// Truncating toward zero, as the pitch arithmetic always did: a point a little left of or
// above the grid still falls in its first column or row.
void grid_cell(int x, int y, int left, int top, int pitch_x, int pitch_y, int& row, int& column)
{
    column = (x - left) / pitch_x;
    row = (y - top) / pitch_y;
    if (!on_grid(row, column))
        row = column = -1;
}

int MapKey(int scan, const char* message)
{
    if (scan >= 0 && scan < 128 && OSICol >= 0)
        key_ref[scan] = {uint8_t(OSIRow), column_mask(OSICol)};
    show_pc_key(scan);
    ked.message = message;
    OSICol = -1;
    return 0;
}

int MapKey(int row, int column, const char* message, int mode)
{
    if (!on_grid(row, column)) {
        OSICol = -1;
        return 0;
    }
    OSIRow = row;
    OSICol = column;
    int k = pc_key_of(row, column);
    if (k == 128 || mode == 1)
        ked.pc_key = "PC: - - -";
    else
        show_pc_key(k);
    if (k < 128 && mode == 1)
        key_ref[k] = {0xFF, 0xFF};
    ked.message = message;
    return k;
}

void SetKeyDefinition(int number)
{
    ked.message = " Assign 1 or 2 fields";
    key_fno = number;
    key_flag = 2;
}

void keyboard_button(int id)
{
    for (auto b : special_buttons)
        if (b.id == id)
            SetKeyDefinition(b.number);
}

void keyboard_open()
{
    std::memcpy(opened_keys, key_ref, sizeof opened_keys);
    std::memcpy(opened_special, key_function, sizeof opened_special);
    ked.pc_key.clear();
    ked.message = " Click on Key ";
    OSICol = -1;
    key_flag = 0;
}

void keyboard_key(int scan)
{
    if (OSICol >= 0)
        MapKey(scan, " Click on Key ");
}

void keyboard_right_click(int row, int column) { MapKey(row, column, " Key entry removed ", 1); }

// A special key is made of cells that some PC key already presses: it copies that key's
// record. A click beside the grid counts as PC key 0.
void keyboard_left_click(int row, int column)
{
    if (key_flag == 0) {
        MapKey(row, column, " Press now Keyboard", 2);
        return;
    }
    SpecialKey& s = key_function[key_fno];
    int k = MapKey(row, column, " Click now second key", 2);
    if (key_flag == 2 && k == 128) {
        s = {0, 0xFF, 0, 0xFF};
    } else if (key_flag == 2) {
        s.row1 = key_ref[k].row;
        s.mask1 = key_ref[k].mask;
        key_flag = 1;
        return;
    } else if (k == 128) {
        s.row2 = 0;
        s.mask2 = 0xFF;
    } else {
        s.row2 = key_ref[k].row;
        s.mask2 = key_ref[k].mask;
    }
    MapKey(row, column, " Special key is updated", 2);
    key_flag = 0;
}

// Only the low byte of each special-key value is written, as the layout file holds them.
bool save_layout(const std::string& path)
{
    std::string bytes;
    for (const KeyRecord& k : key_ref) {
        bytes += char(k.row);
        bytes += char(k.mask);
    }
    for (const SpecialKey& s : key_function)
        for (int v : {s.row1, s.mask1, s.row2, s.mask2})
            bytes += char(v);
    return write_whole(path, bytes);
}

void keyboard_save()
{
    std::string path = select_file(0, "*.dat");
    if (!path.empty() && !save_layout(path))
        host->message_box("Unable to write the keyboard layout " + path, "ERROR Message", MSG_ERROR);
}

void keyboard_cancel()
{
    std::memcpy(key_ref, opened_keys, sizeof key_ref);
    std::memcpy(key_function, opened_special, sizeof key_function);
}
