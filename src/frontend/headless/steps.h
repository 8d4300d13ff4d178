// The headless runner's steps: what each option does, grouped by kind (typing, screen and
// running, files, debugger), and the helpers they share. The table of options is runner.cpp.
#pragma once
#include "frontend/headless/headless_host.h"
#include "machine/loop.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

struct Step;
// One command-line option: a step that runs in command-line order, or a setting.
struct OptionRow {
    const char* name;
    const char* args;  // shown in --help; its words are the option's values
    const char* help;  // lines after the first are indented under it
    // Checks and converts the values; "" when they are fine, else why not.
    std::string (*parse)(Step& step);
    // The step itself; nullptr for a setting, which parse applies.
    int (*run)(const Step& step);
};

struct Step {
    const OptionRow* row;
    std::vector<std::string> values;
    std::string text;
    uint64_t number = 0;
};

struct Options {
    std::vector<Step> steps;
    uint64_t limit = 50'000'000;
    bool screen = false;
    bool regs = false;
    std::string screenshot;
    std::string audio_out;
    std::string trace_file;
    uint64_t trace = 0;
    std::string config;
    bool help = false;
    bool version = false;
};

extern Options options;
extern HeadlessHost headless;

// A number in `base` up to `max`, nothing else in the text.
bool parse_number(const std::string& text, int base, uint64_t max, uint64_t& value);
// A choice among fixed words: "" and the word's index, or why not.
std::string choose(const std::string& value, std::initializer_list<const char*> words, int& index);
std::string cycles(const std::string& text, uint64_t& n);
// The checks of a step's values; "" when they are fine, else why not.
std::string no_check(Step& s);
std::string hex_address(Step& s);
std::string parse_cycles(Step& s);
std::string parse_count(Step& s);

void run_cycles(uint64_t n);
// Runs until done() holds, at most `limit` cycles; false on timeout.
template <class Done> bool run_until(Done done, uint64_t limit)
{
    for (uint64_t start = cycle_now(); Abort && !done();) {
        if (cycle_now() - start >= limit)
            return false;
        run_slice();
    }
    return true;
}
bool run_until_pc(uint32_t address, uint64_t limit);

// Typing.
std::string parse_type(Step& s);
int run_type(const Step& s);

// The screen, and running until something happens.
std::vector<std::string> screen_rows();
int run_wait(const Step& s);
int run_until_text(const Step& s);
int run_until_address(const Step& s);

// Files: tapes, diskettes, states, memory and recordings.
int run_tape_in(const Step& s);
int run_tape_out(const Step& s);
int run_disk_a(const Step& s);
int run_disk_b(const Step& s);
int run_protect_a(const Step& s);
int run_protect_b(const Step& s);
int run_eject_a(const Step& s);
int run_eject_b(const Step& s);
int run_new_disk(const Step& s);
int run_save_state(const Step& s);
int run_load_state(const Step& s);
std::string parse_load(Step& s);
int run_load(const Step& s);
std::string parse_range(Step& s);
int run_save_binary(const Step& s);
int run_save_listing(const Step& s);
int run_save_tape(const Step& s);
int run_autostart(const Step& s);
int run_convert_kcs(const Step& s);
constexpr uint32_t AUDIO_RATE = 44100;
// The sound up to now as a WAV file of AUDIO_RATE 16-bit mono samples.
bool write_audio(const std::string& path);

// The debugger and the speed meter.
int run_set_pc(const Step& s);
int run_speed(const Step& s);
int run_debugger_text(const Step& s);
int run_free(const Step& s);
int run_break(const Step& s);
int run_watch(const Step& s);
int run_labels(const Step& s);
int run_poke(const Step& s);
int run_back_steps(const Step& s);
int run_back_to_hit(const Step& s);
int run_steps(const Step& s);
