#include "frontend/headless/runner.h"

#include "cassette/wave.h"
#include "config/config.h"
#include "debugger/debugger.h"
#include "debugger/disassembler.h"
#include "debugger/memfile.h"
#include "frontend/headless/headless_host.h"
#include "frontend/headless/png.h"
#include "frontend/savestate.h"
#include "frontend/speed.h"
#include "frontend/startup.h"
#include "host/ids.h"
#include "machine/disk.h"
#include "machine/keyboard.h"
#include "machine/loop.h"
#include "machine/memory_map.h"
#include "machine/tape.h"
#include "machine/typist.h"
#include "machine/video.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

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
    uint64_t trace = 0;
    std::string config;
    bool help = false;
    bool version = false;
};

Options options;
HeadlessHost headless;

bool parse_number(const std::string& text, int base, uint64_t max, uint64_t& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text.c_str(), &end, base);
    if (*end || errno || v > max || text[0] == '-')
        return false;
    value = v;
    return true;
}

// Resolves the escapes of --type.
bool unescape(const std::string& text, std::string& out)
{
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        char next = i + 1 < text.size() ? text[++i] : 0;
        if (next == 'r')
            out += '\r';
        else if (next == 'n')
            out += '\n';
        else if (next == '\\')
            out += '\\';
        else if (next == '^' && i + 1 < text.size() && std::isalpha(static_cast<unsigned char>(text[i + 1])))
            out += char(std::toupper(static_cast<unsigned char>(text[++i])) - '@');
        else
            return false;
    }
    return true;
}

// Every executed instruction leaves its address.
std::vector<uint16_t> trace_ring;
uint64_t trace_count;

void trace_instruction() { trace_ring[trace_count++ % trace_ring.size()] = RPC_old; }

void start_trace(uint64_t n)
{
    trace_ring.assign(n, 0);
    instruction_hook = trace_instruction;
}

void print_trace()
{
    uint64_t n = std::min<uint64_t>(trace_count, trace_ring.size());
    char text[16];
    for (uint64_t i = trace_count - n; i < trace_count; i++) {
        uint16_t pc = trace_ring[i % trace_ring.size()];
        Disassemble(text, pc);
        std::printf("%04X  %s\n", pc, text);
    }
}

std::vector<std::string> screen_rows()
{
    int width = (screen & 2) ? 64 : 32;
    std::vector<std::string> rows;
    for (int r = 0; r < 32; r++) {
        std::string line;
        for (int c = 0; c < width; c++) {
            uint8_t b = RAMptr[(VIDCadr + r * width + c) & 0xFFFF];
            line += (b >= 0x20 && b < 0x7F) ? char(b) : '.';
        }
        line.erase(line.find_last_not_of(' ') + 1);
        rows.push_back(line);
    }
    return rows;
}

bool screen_contains(const std::string& text)
{
    std::string all;
    for (const std::string& row : screen_rows())
        all += row + '\n';
    return all.find(text) != std::string::npos;
}

void run_cycles(uint64_t n)
{
    for (uint64_t start = cycle_now(); Abort && cycle_now() - start < n;)
        run_slice();
}

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

// The breakpoint does the exact stop; the debugger it would open is not wanted here.
bool run_until_pc(uint32_t address, uint64_t limit)
{
    uint32_t saved = stop_loc;
    stop_loc = address;
    bool reached = run_until([&] { return DEnable && R.PC == address; }, limit);
    stop_loc = saved;
    if (reached) {
        headless.events.clear();
        DEnable = SMode = 0;
        SEnable = 1;
    }
    return reached;
}

// --- typing -------------------------------------------------------------------

// Each key event waits for the program to read its row; a program that stops reading the
// keyboard for `limit` cycles ends the step.
int type_step(const std::string& text, uint64_t limit)
{
    std::string missing = type_text(text);
    if (!missing.empty()) {
        type_cancel();
        std::fprintf(stderr, "quarzel: the OSI keyboard has no key for '%c'\n", missing[0]);
        return 2;
    }
    while (type_busy()) {
        uint64_t progress = type_progress();
        if (!run_until([&] { return type_progress() != progress; }, limit)) {
            type_cancel();
            std::fprintf(stderr, "quarzel: --type: the program read no key for %llu cycles\n",
                         (unsigned long long)limit);
            return 3;
        }
        if (!Abort)
            return 0;
    }
    return 0;
}

// --- steps ----------------------------------------------------------------------

// A choice among fixed words, for the decoding parameters.
std::string choose(const std::string& value, std::initializer_list<const char*> words, int& index)
{
    int i = 0;
    for (const char* w : words) {
        if (value == w) {
            index = i;
            return "";
        }
        i++;
    }
    return "unknown value " + value;
}

std::string hex_address(Step& s)
{
    return parse_number(s.values[0], 16, 0xFFFF, s.number) ? "" : "takes a hex address from 0 to FFFF";
}

std::string no_check(Step&) { return ""; }

std::string parse_type(Step& s)
{
    return unescape(s.values[0], s.text) ? "" : "has an unknown escape: " + s.values[0];
}

std::string cycles(const std::string& text, uint64_t& n)
{
    return parse_number(text, 10, UINT64_MAX, n) ? "" : "takes a number of cycles";
}

std::string parse_cycles(Step& s) { return cycles(s.values[0], s.number); }

std::string parse_load(Step& s)
{
    size_t at = s.values[0].rfind('@');
    if (at == std::string::npos || !parse_number(s.values[0].substr(at + 1), 16, 0xFFFF, s.number))
        return "takes FILE@ADDR with a hex address";
    s.text = s.values[0].substr(0, at);
    return "";
}

int run_type(const Step& s) { return type_step(s.text, options.limit); }

int run_wait(const Step& s)
{
    run_cycles(s.number);
    return 0;
}

int run_until_text(const Step& s)
{
    if (run_until([&] { return screen_contains(s.values[0]); }, options.limit))
        return 0;
    std::fprintf(stderr, "quarzel: --until \"%s\" timed out after %llu cycles\n", s.values[0].c_str(),
                 (unsigned long long)options.limit);
    return 3;
}

int run_until_address(const Step& s)
{
    if (run_until_pc(s.number, options.limit))
        return 0;
    std::fprintf(stderr, "quarzel: --until-pc %04llX timed out after %llu cycles\n", (unsigned long long)s.number,
                 (unsigned long long)options.limit);
    return 3;
}

int run_tape_in(const Step& s)
{
    headless.file_answers.push_back(s.values[0]);
    if (FileMenue(""))
        return 0;
    std::fprintf(stderr, "quarzel: cannot open tape input %s\n", s.values[0].c_str());
    return 2;
}

int run_tape_out(const Step& s)
{
    headless.file_answers.push_back(s.values[0]);
    FileSaveMenue();
    return out ? 0 : 2;
}

int run_disk(const Step& s, int drive) { return disk_attach(drive, s.values[0]) ? 0 : 2; }
int run_disk_a(const Step& s) { return run_disk(s, 0); }
int run_disk_b(const Step& s) { return run_disk(s, 1); }

int run_save_state(const Step& s)
{
    std::string problem = save_state(s.values[0]);
    if (!problem.empty())
        std::fprintf(stderr, "quarzel: %s\n", problem.c_str());
    return problem.empty() ? 0 : 2;
}

int run_load_state(const Step& s)
{
    std::string notes;
    std::string problem = load_state(s.values[0], notes);
    if (!problem.empty())
        std::fprintf(stderr, "quarzel: %s\n", problem.c_str());
    if (!notes.empty())
        std::fprintf(stderr, "%s", notes.c_str());
    return problem.empty() ? 0 : 2;
}

int run_load(const Step& s)
{
    bool whole;
    long stored = load_binary(s.text, s.number, &whole);
    if (stored < 0)
        std::fprintf(stderr, "quarzel: cannot read %s\n", s.text.c_str());
    else if (!whole)
        std::fprintf(stderr, "quarzel: only %ld bytes of %s fit below $FFFF\n", stored, s.text.c_str());
    return stored >= 0 && whole ? 0 : 2;
}

// FILE@ADDR:LEN, the address and length in hex.
std::string parse_range(Step& s)
{
    size_t at = s.values[0].rfind('@');
    size_t colon = s.values[0].rfind(':');
    uint64_t length;
    if (at == std::string::npos || colon == std::string::npos || colon < at ||
        !parse_number(s.values[0].substr(at + 1, colon - at - 1), 16, 0xFFFF, s.number) ||
        !parse_number(s.values[0].substr(colon + 1), 16, 0xFFFF, length))
        return "takes FILE@ADDR:LEN with a hex address and length";
    s.text = s.values[0].substr(0, at);
    s.values.push_back(s.values[0].substr(colon + 1));
    return "";
}

// A save as the dialog's button makes it, with the fields and the file given.
int save_range(const Step& s, int command)
{
    char start[8];
    std::snprintf(start, sizeof start, "%04X", unsigned(s.number));
    mfd.start = start;
    mfd.length = s.values[1];
    headless.file_answers.push_back(s.text);
    bool done = memfile_command(command);
    if (!mfd.text.empty())
        std::fprintf(stderr, "quarzel: %s\n", mfd.text.c_str());
    return done ? 0 : 2;
}

int run_save_binary(const Step& s) { return save_range(s, MF_SAVE_BINARY); }
int run_save_listing(const Step& s) { return save_range(s, MF_SAVE_CODE); }
int run_save_tape(const Step& s) { return save_range(s, MF_SAVE_TAPE); }

int run_autostart(const Step&)
{
    mfd.autostart = true;
    return 0;
}

int run_set_pc(const Step& s)
{
    R.PC = s.number;
    return 0;
}

int run_convert_kcs(const Step& s)
{
    headless.file_answers.push_back(s.values[0]);
    headless.kcs_output = s.values[1];
    size_t shown = headless.messages.size();
    KCSConvert();
    for (size_t i = shown; i < headless.messages.size(); i++)
        if (headless.messages[i].icon == MSG_ERROR)
            return 4;
    if (in)
        return 0;
    std::fprintf(stderr, "quarzel: cannot open %s\n", s.values[0].c_str());
    return 2;
}

int run_speed(const Step&)
{
    std::string report;
    bool done = run_speed_test(report);
    std::fputs(report.c_str(), stdout);
    return done ? 0 : 2;
}

int run_debugger_text(const Step&)
{
    std::fputs(debugger_text().c_str(), stdout);
    return 0;
}

// A machine halted at a breakpoint or by --step runs on, as closing the debugger lets it.
int run_free(const Step&)
{
    headless.events.clear();  // the debugger a breakpoint asked for is not wanted any more
    if (host->debugger_exists())
        host->close_debugger();
    DEnable = 0;
    SEnable = 1;
    SMode = 0;
    return 0;
}

int run_break(const Step& s)
{
    dbg.breakpoint = s.values[0];
    debugger_command(DBG_SET_BP);
    return 0;
}

// Each step is the Single Step button: one instruction, or a whole subroutine when "Trace into
// subs" is off. A running machine is halted where it stands first.
int run_steps(const Step& s)
{
    if (!DEnable) {
        DEnable = 1;
        SEnable = SMode = 0;
    }
    for (uint64_t i = 0; i < s.number; i++) {
        debugger_command(DBG_SINGLE_STEP);
        if (!run_until([] { return SEnable == 0 && SMode == 0; }, options.limit)) {
            std::fprintf(stderr, "quarzel: --step did not come back within %llu cycles\n",
                         (unsigned long long)options.limit);
            return 3;
        }
    }
    return 0;
}

std::string parse_count(Step& s) { return parse_number(s.values[0], 10, UINT64_MAX, s.number) ? "" : "takes a number"; }

// Settings.

std::string set_limit(Step& s) { return cycles(s.values[0], options.limit); }
std::string set_screen(Step&) { options.screen = true; return ""; }
std::string set_regs(Step&) { options.regs = true; return ""; }
std::string set_screenshot(Step& s) { options.screenshot = s.values[0]; return ""; }
std::string set_help(Step&) { options.help = true; return ""; }
std::string set_version(Step&) { options.version = true; return ""; }

std::string set_trace(Step& s)
{
    bool ok = parse_number(s.values[0], 10, 1'000'000, options.trace);
    return ok ? "" : "takes a number of instructions up to 1000000";
}

std::string set_baud(Step& s) { return choose(s.values[0], {"300", "600", "1200"}, Baud); }
std::string set_parity(Step& s) { return choose(s.values[0], {"odd", "even"}, SPARITY); }
std::string set_bits(Step& s) { return choose(s.values[0], {"7", "8"}, SBITS); }
std::string set_stop(Step& s) { return choose(s.values[0], {"1", "2"}, SSTOP); }

const OptionRow option_rows[] = {
    {"--type", "TEXT", "type TEXT on the OSI keyboard (\\r RETURN, \\n LINE FEED, \\\\ backslash,\n"
                       "\\^C Ctrl-C and likewise for the other letters); each key waits\n"
                       "until the program has read it (at most --limit cycles)", parse_type, run_type},
    {"--wait", "N", "run N emulated cycles (rounded up to whole 60000-cycle time slices)", parse_cycles, run_wait},
    {"--until", "TEXT", "run until the visible screen contains TEXT", no_check, run_until_text},
    {"--until-pc", "ADDR", "run until the program counter equals ADDR (hex)", hex_address, run_until_address},
    {"--tape-in", "FILE", "open FILE as the tape input", no_check, run_tape_in},
    {"--tape-out", "FILE", "open FILE as the tape output (a name without extension gets .BAS)", no_check,
     run_tape_out},
    {"--disk-a", "FILE", "put the diskette image FILE into drive A, as DRIVE_A in the configuration does", no_check,
     run_disk_a},
    {"--disk-b", "FILE", "put the diskette image FILE into drive B", no_check, run_disk_b},
    {"--save-state", "FILE", "save the whole machine in FILE, as File > Save State does", no_check, run_save_state},
    {"--load-state", "FILE", "go on from the state in FILE, as File > Load State does", no_check, run_load_state},
    {"--load", "FILE@ADDR", "copy the raw FILE into memory at ADDR (hex)", parse_load, run_load},
    {"--pc", "ADDR", "set the program counter to ADDR (hex)", hex_address, run_set_pc},
    {"--save-binary", "FILE@ADDR:LEN", "save memory from ADDR as raw bytes: whole pages of 256 from ADDR\n"
                                       "covering LEN (hex; 0 is 100), as Read/Write Binary Files does",
     parse_range, run_save_binary},
    {"--save-listing", "FILE@ADDR:LEN", "save the instructions from ADDR to ADDR+LEN as a 6502 listing",
     parse_range, run_save_listing},
    {"--save-tape", "FILE@ADDR:LEN", "save the bytes from ADDR to ADDR+LEN as an OSI tape file for the\n"
                                     "monitor's loader", parse_range, run_save_tape},
    {"--autostart", "", "the following --save-tape steps end with the start command ADDR G",
     no_check, run_autostart},
    {"--break", "ADDR", "set the breakpoint at ADDR (hex), as the debugger's SetBP does; reached, the\n"
                        "debugger opens and halts the machine after that instruction (--run goes on)",
     hex_address, run_break},
    {"--step", "N", "single-step N instructions as the debugger's Single Step button does", parse_count,
     run_steps},
    {"--debugger", "", "print what the debugger window shows now", no_check, run_debugger_text},
    {"--run", "", "let a machine halted by --break or --step run on, as closing the debugger does", no_check,
     run_free},
    {"--convert-kcs", "WAV OUTFILE", "decode a Kansas City Standard recording into OUTFILE\n"
                                     "with the decoder KCS.com, as File > Convert KCS Wave Files does",
     no_check, run_convert_kcs},
    {"--speed-test", "", "run the Emulation Speed Meter's test and print its four results (on the\n"
                         "virtual clock) and the host time each phase took", no_check, run_speed},
    {"--limit", "N", "most cycles an --until, --type or --step step may wait (default 50000000)", set_limit, nullptr},
    {"--screen", "", "print the visible screen as text at the end", set_screen, nullptr},
    {"--screenshot", "FILE", "write the main window as a PNG file at the end", set_screenshot, nullptr},
    {"--regs", "", "print the registers at the end", set_regs, nullptr},
    {"--trace", "N", "print the last N executed instructions at the end", set_trace, nullptr},
    {"--baud", "300|600|1200", "the baud rate of --convert-kcs (default 300)", set_baud, nullptr},
    {"--parity", "even|odd", "its parity (default even)", set_parity, nullptr},
    {"--bits", "7|8", "its data bits (default 8)", set_bits, nullptr},
    {"--stop", "1|2", "its stop bits (default 2; 8 bits with 2 stop bits carry no parity)", set_stop, nullptr},
    {"--help", "", "show this text", set_help, nullptr},
    {"--version", "", "show the version", set_version, nullptr},
};

size_t value_count(const OptionRow& row)
{
    std::string args = row.args;
    return args.empty() ? 0 : 1 + std::count(args.begin(), args.end(), ' ');
}

void print_rows(std::FILE* f, bool steps)
{
    for (const OptionRow& row : option_rows) {
        if ((row.run != nullptr) != steps)
            continue;
        std::string head = std::string("  ") + row.name + (*row.args ? " " : "") + row.args;
        head += head.size() < 21 ? std::string(21 - head.size(), ' ') : "  ";
        std::string help = row.help;
        for (size_t nl = help.find('\n'); nl != std::string::npos; nl = help.find('\n', nl + 1))
            help.insert(nl + 1, 21, ' ');
        std::fprintf(f, "%s%s\n", head.c_str(), help.c_str());
    }
}

void print_usage(std::FILE* f)
{
    std::fputs("usage: quarzel [CONFIG]                      the emulator in its window\n"
               "       quarzel --headless [options] [CONFIG]\n\n"
               "--headless runs the emulated machine without a window, as fast as it can, and performs\n"
               "these steps in command-line order:\n", f);
    print_rows(f, true);
    std::fputs("Other options:\n", f);
    print_rows(f, false);
    std::fputs("CONFIG is the configuration file, by default OSI.INI in the program's folder; a relative\n"
               "name is taken from the current folder when it is there, else from the program's folder.\n"
               "When the program's folder cannot be written (an installed package), the program writes to\n"
               "$XDG_DATA_HOME/quarzel (by default ~/.local/share/quarzel), which its first start fills with\n"
               "copies of OSI.INI and KEY.DAT, and reads files there before the program's folder.\n"
               "Message boxes are printed to standard error as CAPTION: text.\n"
               "Exit status: 0 success, 1 boot error, 2 bad usage or a step that could not be done,\n"
               "3 an --until, --type or --step step timed out, 4 a recording could not be converted.\n", f);
}

} // namespace

int bad_usage(const std::string& why)
{
    std::fprintf(stderr, "quarzel: %s\n", why.c_str());
    print_usage(stderr);
    return 2;
}

namespace {

// Returns 0 to run, 2 for bad usage, -1 after --help.
int parse(int argc, char** argv)
{
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg == "--headless")
            continue;
        if (arg.rfind("--", 0) != 0) {
            if (!options.config.empty())
                return bad_usage("only one configuration file may be named");
            options.config = arg;
            continue;
        }
        const OptionRow* row = std::find_if(std::begin(option_rows), std::end(option_rows),
                                            [&](const OptionRow& r) { return arg == r.name; });
        if (row == std::end(option_rows))
            return bad_usage("unknown option " + arg);
        Step step{row, {}, "", 0};
        for (size_t n = value_count(*row); n > 0; n--) {
            if (++i >= argc)
                return bad_usage(arg + " needs " + row->args);
            step.values.push_back(argv[i]);
        }
        std::string problem = row->parse(step);
        if (!problem.empty())
            return bad_usage(arg + " " + problem);
        if (options.help || options.version) {
            if (options.help)
                print_usage(stdout);
            else
                std::printf("Quarzel %s\n", QUARZEL_VERSION);
            return -1;
        }
        if (row->run)
            options.steps.push_back(step);
    }
    return 0;
}

void report(const Options& o)
{
    if (o.screen)
        for (const std::string& row : screen_rows())
            std::printf("%s\n", row.c_str());
    if (o.regs)
        std::printf("PC=%04X A=%02X X=%02X Y=%02X S=%02X P=%02X\n", unsigned(R.PC), R.A, R.X, R.Y, R.S, R.P);
    if (o.trace)
        print_trace();
    if (!o.screenshot.empty() && !write_png(o.screenshot, host->surface()))
        std::fprintf(stderr, "quarzel: cannot write %s\n", o.screenshot.c_str());
}

} // namespace

int headless_main(int argc, char** argv, const std::string& program_file)
{
    options = Options();  // a fresh start for every call, as a fuzz target makes them
    headless = HeadlessHost();
    trace_count = 0;
    instruction_hook = nullptr;
    const Options& o = options;
    int status = parse(argc, argv);
    if (status)
        return status < 0 ? 0 : status;
    headless.echo_messages = true;
    host = &headless;
    if (!start_machine(program_file, o.config)) {
        Terminate();
        return 1;
    }
    if (o.trace)
        start_trace(o.trace);
    mfd.autostart = false;
    SetRes();
    for (const Step& step : o.steps) {
        status = step.row->run(step);
        if (status || !Abort)
            break;
    }
    report(o);
    Terminate();
    return status;
}
