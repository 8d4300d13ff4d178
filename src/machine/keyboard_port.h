// The keyboard port at $DF00: the program writes the row latch and reads the columns; before
// each read the typist may apply its next key event.
#pragma once

void KEYBREAD();
void KEYBWRITE();
