#include "machine/board.h"

int Board600D;
int Colour630;
uint8_t board_control;
