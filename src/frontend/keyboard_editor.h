// The "Keyboard Matrix Editor": which PC key presses which cell of the OSI matrix, and which
// one or two cells each of the nine special PC keys presses. It edits key_ref and
// key_function in place, so every change acts on the running machine at once.
#pragma once
#include <string>

extern int OSIRow, OSICol;  // the selected cell; OSICol -1: none
extern int key_fno;         // the special key being assigned, 0-8
extern int key_flag;        // 0 idle, 2 waiting for a special key's first cell, 1 for its second

// The dialog's two fields as the user sees them.
struct KeyEditorView {
    std::string message;  // "Mapping Info"
    std::string pc_key;   // "MAP Key": the PC key of the selected cell
};
extern KeyEditorView ked;

// The legend of matrix cell (row, column), column 0 being bit 7 of the row byte.
extern const char* const matrix_legends[8][8];

// The cell under a point, with the grid's origin and pitch in the same units; -1 outside.
void grid_cell(int x, int y, int left, int top, int pitch_x, int pitch_y, int& row, int& column);

// The cell operations. Mode 0 assigns PC key `scan` to the selected cell; modes 1 (unmap)
// and 2 (select and show) act on cell (row, column), where a row or column outside 0-7 is a
// click beside the grid. Returns the first PC key that presses the cell, 128 for none.
int MapKey(int scan, const char* message);
int MapKey(int row, int column, const char* message, int mode);
void SetKeyDefinition(int number);

// The dialog's events.
void keyboard_open();
// A special-key button (KeyEditorControl id) starts that key's assignment.
void keyboard_button(int id);
void keyboard_key(int scan);
void keyboard_left_click(int row, int column);
void keyboard_right_click(int row, int column);
// "Save": the two tables as a layout file of 292 bytes; false when it cannot be written.
bool save_layout(const std::string& path);
// "Save" as the button does it: the chooser, then the file; a cancelled chooser writes nothing.
void keyboard_save();
// "Cancel": back to the tables as they were when the dialog opened.
void keyboard_cancel();
