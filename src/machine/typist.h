// Typing on the OSI keyboard as fast as the running program takes keys: typed text, pasted
// text and the keys of the window all go through one ordered queue of key events. Each event
// changes the key matrix at once (a character's Shift goes down and up with its key) and the
// next one waits until the program has seen it: read one of the rows it changed, and a little
// longer for its debounce. A row the program no longer reads while it reads others does not
// hold the queue up for long.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One change of the key matrix. `down` and `up` hold the OSI keys pressed and let go (bit
// row * 8 + column); a `scan` of 0 or more is instead a PC key of the positional keyboard, its
// set 1 code with bit 7 for a release, applied as the layout file maps it.
struct KeyEvent {
    uint64_t down = 0, up = 0;
    int scan = -1;
    bool pasted = false;  // from typed or pasted text, which Esc can stop
};

// The event applied last, until it has settled: the keyboard reads made before it (per row),
// when it was applied and first seen, the rows it changed.
struct KeyWatch {
    uint64_t reads[8];
    uint64_t applied_at, seen_at;
    uint8_t rows;
    bool press, seen;
};

// Everything the typist holds, for a saved state.
struct TypistState {
    std::vector<KeyEvent> waiting;
    KeyWatch last;
    bool in_flight;
    uint64_t applied;
};
TypistState typist_state();
void set_typist_state(const TypistState& t);

// Every matrix position: an event that lets go of all keys.
constexpr uint64_t ALL_KEYS = ~uint64_t(0);

// Queues the keys for text (\r RETURN, \n LINE FEED, 1-26 Ctrl with a letter); returns the
// characters that no OSI key carries, which are left out.
std::string type_text(const std::string& text);
// Queues one event from the window's keyboard.
void type_key(const KeyEvent& e);
// Events still waiting to be applied; any of them from text.
bool type_busy();
bool type_pasting();
// Key events applied so far.
uint64_t type_progress();
// Drops the waiting events and releases every key.
void type_cancel();
// At every keyboard read, before the read counts, and at the end of every time slice:
// applies the next event once the last one has been seen and has settled.
void type_poll();

class Fields;
// The state section "TYPE": the rows' reads, the waiting key events and the one in flight.
void typist_section(Fields& f);
