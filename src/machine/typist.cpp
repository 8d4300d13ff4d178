#include "machine/typist.h"

#include "cpu/loop.h"
#include "machine/keyboard.h"

#include <algorithm>
#include <deque>
#include <iterator>

namespace {

struct KeyEvent {
    OsiKey key;
    bool down;
};

// Cycles after the program first reads the key's row, for its debounce.
constexpr uint64_t settle_cycles = 30000;

std::deque<KeyEvent> waiting;
bool in_flight;  // the last event is applied but not yet settled
KeyEvent last;
uint64_t applied;

// An event is seen once its row is read after it, and settled some cycles after that.
struct Watch {
    uint64_t reads_before = 0, seen_at = 0;
    bool seen = false;
};

bool settled(Watch& w, int row)
{
    uint64_t now = cycle_now();
    if (!w.seen) {
        if (row_reads[row] == w.reads_before)
            return false;
        w.seen = true;
        w.seen_at = now;
    }
    return now < w.seen_at || now - w.seen_at >= settle_cycles;
}

Watch watch(int row) { return {row_reads[row], 0, false}; }

Watch pressed;       // the last event, while it is a press
Watch released[64];  // each key of the matrix the typist has let go
bool let_go[64];

int index(OsiKey key) { return key.row * 8 + key.column; }

void stroke(OsiKey key, const OsiKey* modifier)
{
    if (modifier)
        waiting.push_back({*modifier, true});
    waiting.push_back({key, true});
    waiting.push_back({key, false});
    if (modifier)
        waiting.push_back({*modifier, false});
}

// The next event waits for the last press to settle. A release need not be seen unless its key
// is pressed again (8 after "(", which is Shift and 8, however many keys came between): a
// program that stops reading the keyboard after a key (a RUN, a tape load) must not hold up
// the keys after it.
bool settled(const KeyEvent& next)
{
    int k = index(next.key);
    if (next.down && let_go[k] && !settled(released[k], next.key.row))
        return false;
    return !in_flight || !last.down || settled(pressed, last.key.row);
}

} // namespace

std::string type_text(const std::string& text)
{
    std::string missing;
    for (char ch : text) {
        bool control = ch >= 1 && ch <= 26 && ch != '\r' && ch != '\n';
        OsiKey key;
        bool shifted;
        if (!osi_key_for(control ? char(ch + '@') : ch, key, shifted)) {
            missing += ch;
            continue;
        }
        stroke(key, control ? &OSI_CTRL : shifted ? &OSI_SHIFT_LEFT : nullptr);
    }
    return missing;
}

bool type_busy() { return !waiting.empty(); }

uint64_t type_progress() { return applied; }

void type_cancel()
{
    waiting.clear();
    in_flight = false;
    CIA_Clear();
}

// Once the last key has settled the typist is at rest, as it is at start-up: what is typed
// next does not depend on what was typed before.
void type_poll()
{
    if (waiting.empty() && in_flight &&
        (last.down ? settled(pressed, last.key.row) : settled(released[index(last.key)], last.key.row))) {
        in_flight = false;
        std::fill(std::begin(let_go), std::end(let_go), false);
    }
    if (waiting.empty() || !settled(waiting.front()))
        return;
    KeyEvent e = waiting.front();
    waiting.pop_front();
    CIA2();
    gScan = 0;  // an old PC key event must not be applied again over the typed keys
    if (e.down) {
        osi_press(e.key);
        pressed = watch(e.key.row);
    } else {
        osi_release(e.key);
        let_go[index(e.key)] = true;
        released[index(e.key)] = watch(e.key.row);
    }
    last = e;
    in_flight = true;
    applied++;
}
