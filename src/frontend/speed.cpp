#include "frontend/speed.h"

#include "cpu/loop.h"
#include "host/host.h"

uint32_t aw_speed[6];
uint32_t t_time;
uint32_t t_speed;

// Every tenth slice: the cycles of one slice over the milliseconds ten slices took,
// which is the emulated clock in percent of 1 MHz, smoothed into the meter.
void Speed_display()
{
    if (++t_time <= 9)
        return;
    uint32_t now = host->clock_ms();
    uint32_t elapsed = now - t_time_speed;
    t_speed = t_check / (elapsed ? elapsed : 1) + 1;
    t_time = 0;
    aw_speed[1] = ((aw_speed[1] >> 1) + (t_speed >> 1)) & ~3u;
    t_time_speed = now;
}
