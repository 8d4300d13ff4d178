// The main window's menu commands: their ids are the messages posted to the window and the
// items whose check marks the emulation sets.
#pragma once

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
};
