// The speed meter's measurement, taken once per time slice while its window is open.
#pragma once
#include <cstdint>

extern uint32_t aw_speed[6];
extern uint32_t t_time;
extern uint32_t t_speed;

void Speed_display();
