// The ids that name menu commands and the controls of the tool windows.
#pragma once

// The modal and modeless dialogs of the main window, by their template numbers.
enum DialogTemplate {
    DLG_ABOUT = 1,
    DLG_HELP = 2,
    DLG_SPEED = 4,
    DLG_BINARY_FILES = 5,
    DLG_KEYBOARD = 6,
};

// The main window's menu commands: the messages posted to the window and the items whose
// check marks the emulation sets.
enum MenuCommand {
    CMD_QUIT = 101,
    CMD_ABOUT = 102,
    CMD_OPEN_FILES = 103,
    CMD_SAVE_FILES = 105,
    CMD_BINARY_FILES = 106,
    CMD_HELP = 107,
    CMD_SOFT_RESET = 108,
    CMD_DEBUGGER = 109,
    CMD_EDIT_CONFIG = 110,
    CMD_GAME_FONT = 111,
    CMD_INT_ENABLE = 112,
    CMD_HARD_RESET = 113,
    CMD_SMALL_FONTS = 114,
    CMD_64X32 = 115,
    CMD_32X32 = 116,
    CMD_SPEED = 117,
    CMD_CONFIG_KEYBOARD = 118,
    CMD_GRAPHIC_MODE = 119,
    CMD_DOUBLE_FONTS = 120,
    CMD_LOAD_CONFIG = 121,
    CMD_PAUSE = 122,
    CMD_CONVERT_KCS = 123,
    CMD_CLOSE_SAVED = 124,
    CMD_FULLSCREEN = 125,
    CMD_TRANSLATE_KEYS = 126,
    CMD_PASTE_TEXT = 127,
    CMD_SAVE_STATE = 128,
    CMD_LOAD_STATE = 129,
    CMD_QUICK_SAVE = 130,  // F5
    CMD_QUICK_LOAD = 131,  // F6
    CMD_WARP = 132,
    CMD_FAST_LOAD = 133,
    CMD_NEW_DISK = 134,
    CMD_PROTECT_A = 135,
    CMD_PROTECT_B = 136,
    CMD_SOUND = 137,
    CMD_TINT_WHITE = 138,
    CMD_TINT_GREEN = 139,
    CMD_TINT_AMBER = 140,
};

// The controls of the debugger window: buttons and toggles by the command they send, fields
// by what they show.
enum DebuggerControl {
    DBG_SINGLE_STEP = 1,
    DBG_CLOSE = 2,
    DBG_NMI = 104,
    DBG_IRQ = 105,
    DBG_MEMORY_START = 106,
    DBG_DISP_MEM = 107,
    DBG_RESET = 108,
    DBG_DISP_STACK = 109,
    DBG_CURRENT = 111,
    DBG_DUMP = 112,
    DBG_BREAKPOINT = 114,
    DBG_PC_FIELD = 115,
    DBG_STOP_ON_ERROR = 118,
    DBG_HARD_RESET = 119,
    DBG_EDIT_CONFIG = 120,
    DBG_TRACE_INTO = 137,
    DBG_LAST = 138,
    DBG_NEXT = 139,
    DBG_RUN = 1021,
    DBG_SET_PC = 1022,
    DBG_SET_BP = 1023,
    DBG_CLR_BP = 1028,
    DBG_BYTES = 1040,       // the field of bytes to write at the memory start
    DBG_WRITE_MEM = 1041,
    DBG_FIND_FIELD = 1042,  // the field of bytes to look for
    DBG_FIND = 1043,
    DBG_STEP_BACK = 1044,
    DBG_RUN_BACK = 1045,
    DBG_POINTS = 1046,       // the list of breakpoints and watchpoints
    DBG_POINT_FIELD = 1047,  // ADDR[:COND] or RANGE[:R|W|RW] for the two buttons below
    DBG_ADD_BREAK = 1048,
    DBG_ADD_WATCH = 1049,
    DBG_TOGGLE_POINT = 1050,
    DBG_REMOVE_POINT = 1051,
    DBG_LOAD_LABELS = 1052,
    DBG_TRACE = 1053,        // the toggle that keeps the trace
    DBG_TRACE_TEXT = 1054,
    DBG_STATUS = 1055,
};

// The controls of the "Read/Write Binary Files" dialog.
enum MemfileControl {
    MF_CLOSE = 2,
    MF_TEXT = 111,
    MF_START = 116,
    MF_LENGTH = 117,
    MF_AUTOSTART = 127,
    MF_DISPLAY = 1026,
    MF_SAVE_CODE = 1027,
    MF_SAVE_TAPE = 1029,
    MF_SAVE_BINARY = 1030,
    MF_READ_BINARY = 1031,
};

// The controls of the "Keyboard Matrix Editor": Save and Cancel, the nine special-key
// buttons, the message and the PC key of the selected cell.
enum KeyEditorControl {
    KED_SAVE = 1,
    KED_CANCEL = 2,
    KED_MESSAGE = 121,
    KED_PC_KEY = 123,
    KED_END = 128,
    KED_TAB = 129,
    KED_HOME = 130,
    KED_DELETE = 131,
    KED_INSERT = 132,
    KED_RIGHT = 133,
    KED_LEFT = 134,
    KED_DOWN = 135,
    KED_UP = 136,
};

// The controls of the "Emulation Speed Meter".
enum SpeedControl {
    SPD_CLOSE = 1,
    SPD_RUN_TEST = 101,
    SPD_ADJUST = 102,
    SPD_METER = 103,
};

// The controls of the "KCS Parameter Setup" dialog.
enum KcsControl {
    KCS_300_BAUD,
    KCS_600_BAUD,
    KCS_1200_BAUD,
    KCS_PARITY,      // "Even/Odd Parity"
    KCS_BITS,        // "8/7 Bits"
    KCS_STOP,        // "1/2 Stopbit"
    KCS_FREQUENCY,   // "Frequency adjust"
    KCS_HYSTERESIS,  // "Hysteresis adjust"
    KCS_OUTPUT,      // "....": the decoded file
};

// What a click on a scroll bar did.
enum ScrollCode {
    SCROLL_LINE_LEFT,
    SCROLL_LINE_RIGHT,
    SCROLL_THUMB_RELEASED,
    SCROLL_OTHER,  // page steps and thumb tracking
};
