// Typing text on the OSI keyboard as fast as the running program takes keys. Each press and
// release waits until the program has read that key's row once more, and a little longer for
// its debounce, so that a busy program or a repeated key loses nothing.
#pragma once
#include <cstdint>
#include <string>

// Queues the keys for text (\r RETURN, \n LINE FEED, 1-26 Ctrl with a letter); returns the
// characters that no OSI key carries, which are left out.
std::string type_text(const std::string& text);
// Keys still waiting to be pressed or released.
bool type_busy();
// Key events applied so far.
uint64_t type_progress();
// Drops the waiting keys and releases every key.
void type_cancel();
// At every keyboard read and at the end of every time slice: applies the next key event once
// the last one has been seen.
void type_poll();
