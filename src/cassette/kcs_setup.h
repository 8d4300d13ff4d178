// The "KCS Parameter Setup" dialog's logic: the decoding parameters of wave.h and the
// decoded file, changed by the dialog's controls (KcsControl ids).
#pragma once
#include <string>

// A toggle button, a baud-rate radio button or "....".
void kcs_setup_click(int control);
// A scroll bar's arrow (ScrollCode); page and thumb movements leave the values as they are.
void kcs_setup_scroll(int control, int code);
// A scroll bar's value as the dialog shows it.
std::string kcs_value_text(int value);
