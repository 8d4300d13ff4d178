#include "machine/typist.h"

#include "cpu/cpu.h"
#include "host/state_fields.h"
#include "machine/keyboard.h"

#include <algorithm>
#include <deque>

namespace {

// Cycles an event stays after the program first sees it: its debounce, or the time it needs
// to notice that all keys are up before it waits for the next.
constexpr uint64_t settle_cycles = 30000;
// Cycles after which an event on rows that the program does not read, while it reads others,
// counts as seen: the program waits for another key (the space bar of a tape load). A press
// under reads of row 7 alone, a Ctrl-C check between statements, waits much longer, so that
// keys typed ahead of a computation are not lost, and yet a Ctrl-C typed after them arrives.
constexpr uint64_t unread_cycles = 100000, unread_ctrl_check_cycles = 5000000;

std::deque<KeyEvent> waiting;
uint64_t applied;

KeyWatch last;
bool in_flight;

bool seen(KeyWatch& w)
{
    if (w.seen)
        return true;
    uint8_t read = 0;
    for (int r = 0; r < 8; r++)
        if (row_reads[r] != w.reads[r])
            read |= uint8_t(1 << r);
    uint64_t now = cycle_now(), waited = now - w.applied_at;
    bool elsewhere = read & ~w.rows & 0x7F, ctrl_check = read & ~w.rows & 0x80;
    if ((read & w.rows) || (elsewhere && waited >= unread_cycles) ||
        (ctrl_check && waited >= (w.press ? unread_ctrl_check_cycles : unread_cycles))) {
        w.seen = true;
        w.seen_at = now;
    }
    return w.seen;
}

// A clock set back (a state loaded) ends the wait.
bool settled(KeyWatch& w)
{
    uint64_t now = cycle_now();
    if (w.rows == 0 || now < w.applied_at)
        return true;
    return seen(w) && (now < w.seen_at || now - w.seen_at >= settle_cycles);
}

void apply(const KeyEvent& e)
{
    uint32_t before[8];
    std::copy(key_matrix, key_matrix + 8, before);
    if (e.scan >= 0)
        apply_scan(uint32_t(e.scan));
    else
        osi_change(e.down, e.up);
    last = {{}, cycle_now(), 0, 0, false, false};
    std::copy(row_reads, row_reads + 8, last.reads);
    for (int r = 0; r < 8; r++) {
        if (key_matrix[r] != before[r])
            last.rows |= uint8_t(1 << r);
        last.press |= (before[r] & ~key_matrix[r]) != 0;
    }
}

const uint64_t MODIFIERS = osi_bit(OSI_SHIFT_LEFT) | osi_bit(OSI_SHIFT_RIGHT) | osi_bit(OSI_CTRL);

bool modifiers_only(const KeyEvent& e) { return !((e.down | e.up) & ~MODIFIERS); }

// A change of the Shift or Ctrl keys alone goes with the window's change before or after it,
// so that a shifted character costs no more than another: Shift and its key go down at once.
// Two changes of other keys stay apart, and so do changes that would undo each other, but for
// a character's key that lets go of the Shift pressed just before (':' typed with Shift).
bool merge(KeyEvent& a, const KeyEvent& b)
{
    bool undoes = (a.up & b.down) || ((a.down & b.up) && (modifiers_only(b) || (a.down & b.up & ~MODIFIERS)));
    if (a.scan >= 0 || b.scan >= 0 || a.pasted || b.pasted || (!modifiers_only(a) && !modifiers_only(b)) || undoes)
        return false;
    a.down = (a.down & ~b.up) | b.down;
    a.up |= b.up;
    return true;
}

} // namespace

// The first key of a text typed after a rest waits as one after a release does: pressed at the
// program's very next read, a program that waits for all keys to be up before it polls for the
// next would take it for one still held. A person's keys come at no such moment.
void type_key(const KeyEvent& e)
{
    if (e.pasted && waiting.empty() && !in_flight) {
        last = {{}, cycle_now(), cycle_now(), 0xFF, false, true};
        in_flight = true;
    }
    if (waiting.empty() || !merge(waiting.back(), e))
        waiting.push_back(e);
}

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
        uint64_t keys = osi_bit(key) | (control ? osi_bit(OSI_CTRL) : shifted ? osi_bit(OSI_SHIFT_LEFT) : 0);
        type_key({keys, 0, -1, true});
        type_key({0, keys, -1, true});
    }
    return missing;
}

bool type_busy() { return !waiting.empty(); }

bool type_pasting()
{
    for (const KeyEvent& e : waiting)
        if (e.pasted)
            return true;
    return false;
}

uint64_t type_progress() { return applied; }

TypistState typist_state() { return {{waiting.begin(), waiting.end()}, last, in_flight, applied}; }

void set_typist_state(const TypistState& t)
{
    waiting.assign(t.waiting.begin(), t.waiting.end());
    last = t.last;
    in_flight = t.in_flight;
    applied = t.applied;
}

void type_cancel()
{
    waiting.clear();
    in_flight = false;
    CIA_Clear();
    gScan = 0;
}

void type_poll()
{
    if (in_flight && !settled(last))
        return;
    in_flight = false;
    if (waiting.empty())
        return;
    KeyEvent e = waiting.front();
    waiting.pop_front();
    apply(e);
    in_flight = true;
    applied++;
}

// A set of matrix positions, as the eight rows' bytes.
static uint64_t key_set(Fields& f, const char* name, uint64_t keys)
{
    uint64_t v = 0;
    for (int r = 0; r < 8; r++) {
        uint8_t row = uint8_t(keys >> (8 * r));
        v |= uint64_t(f.value(name, row, 0, U8)) << (8 * r);
    }
    return v;
}

// The keys waiting to be typed and the one in flight, so that a paste or a --type goes on
// after a load as it would have; a state without them has the typist at rest.
void typist_section(Fields& f)
{
    for (uint64_t& reads : row_reads)
        f.value("row_reads", reads, 0, INT64_MAX, 0);
    TypistState t = typist_state();
    uint32_t n = uint32_t(t.waiting.size());
    t.waiting.resize(f.value("waiting", n, 0, LARGEST_STATE / 18, 0));
    for (KeyEvent& e : t.waiting) {
        e.down = key_set(f, "down", e.down);
        e.up = key_set(f, "up", e.up);
        f.value("scan", e.scan, -1, U8);
        f.value("pasted", e.pasted, 0, 1);
    }
    f.value("in_flight", t.in_flight, 0, 1, 0);
    f.value("applied", t.applied, 0, INT64_MAX, 0);
    for (uint64_t& reads : t.last.reads)
        f.value("watched reads", reads, 0, INT64_MAX, 0);
    f.value("applied_at", t.last.applied_at, 0, INT64_MAX, 0);
    f.value("seen_at", t.last.seen_at, 0, INT64_MAX, 0);
    f.value("rows", t.last.rows, 0, U8, 0);
    f.value("press", t.last.press, 0, 1, 0);
    f.value("seen", t.last.seen, 0, 1, 0);
    if (f.loading())
        set_typist_state(t);
}
