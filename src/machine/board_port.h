// The control register's page handler and the board's state section.
#pragma once

// $D800-$DBFF, write-only: the sound takes the DAC bit, the display its mode and colour bits.
void CTRLWRITE();

class Fields;
// The state section "BRD ": the board model, the expander and the control register.
void board_section(Fields& f);
