#include "machine/board_port.h"

#include "cpu/bus.h"
#include "cpu/cpu.h"
#include "host/state_fields.h"
#include "machine/board.h"
#include "machine/sound.h"
#include "machine/video.h"

void CTRLWRITE()
{
    sound_render(cycle_now());
    uint8_t before = board_control;
    board_control = writevalue;
    display_control_changed(before);
}

void board_section(Fields& f)
{
    int board = f.value("Board600D", Board600D, 0, 1, 0);
    f.value("Colour630", Colour630, 0, 1, 0);
    uint8_t control = f.value("board_control", board_control, 0, U8, 0);
    f.require(board || !control, "board_control", "is set on a board without the register");
    if (f.loading())
        sound_resync();
}
