#include "machine/typist.h"

#include "cpu/loop.h"
#include "machine/keyboard.h"

#include <deque>

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
uint64_t reads_before, seen_at, applied;
bool seen;
// For each key of the matrix let go by the typist: the reads of its row until then, and when.
uint64_t released_reads[64], released_at[64];
bool released[64];

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

bool same_key(OsiKey a, OsiKey b) { return a.row == b.row && a.column == b.column; }

// Seen once the row was read after the event, settled some cycles later. A release need not
// be seen unless the same key comes next: a program that stops reading the keyboard after a
// key (a RUN, a tape load) must not hold up the keys after it.
bool settled(const KeyEvent& next)
{
    // A key pressed again (8 after "(", which is Shift and 8) waits until the program has seen
    // it let go and the debounce is over, however many keys came between.
    int k = index(next.key);
    if (next.down && released[k] &&
        (row_reads[next.key.row] == released_reads[k] || cycle_now() - released_at[k] < settle_cycles))
        return false;
    if (!in_flight || (!last.down && !same_key(last.key, next.key)))
        return true;
    uint64_t now = cycle_now();
    if (!seen) {
        if (row_reads[last.key.row] == reads_before)
            return false;
        seen = true;
        seen_at = now;
    }
    return now < seen_at || now - seen_at >= settle_cycles;
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
    if (waiting.empty() && in_flight && settled(last))
        in_flight = false;
    if (waiting.empty() || !settled(waiting.front()))
        return;
    KeyEvent e = waiting.front();
    waiting.pop_front();
    CIA2();
    gScan = 0;  // an old PC key event must not be applied again over the typed keys
    if (e.down) {
        osi_press(e.key);
    } else {
        osi_release(e.key);
        released[index(e.key)] = true;
        released_reads[index(e.key)] = row_reads[e.key.row];
        released_at[index(e.key)] = cycle_now();
    }
    last = e;
    reads_before = row_reads[e.key.row];
    seen = false;
    in_flight = true;
    applied++;
}
