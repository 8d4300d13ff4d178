#include "machine/board.h"

int Board600D;
int Colour630;
uint8_t board_control;

bool board_64x16() { return Board600D && (board_control & CONTROL_64X16); }
bool colour_shown() { return Board600D && Colour630 && (board_control & CONTROL_COLOUR); }
