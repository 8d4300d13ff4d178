#include "frontend/headless/runner.h"

#include "cassette/wave.h"
#include "config/config.h"
#include "cpu/loop.h"
#include "debugger/disassembler.h"
#include "debugger/memfile.h"
#include "frontend/headless/headless_host.h"
#include "frontend/headless/png.h"
#include "frontend/startup.h"
#include "machine/keyboard.h"
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

const char* usage_text =
    "usage: quarzel [CONFIG]                      the emulator in its window\n"
    "       quarzel --headless [options] [CONFIG]\n"
    "\n"
    "--headless runs the emulated machine without a window, as fast as it can, and performs\n"
    "these steps in command-line order:\n"
    "  --type TEXT        type TEXT on the OSI keyboard (\\r RETURN, \\n LINE FEED, \\\\ backslash,\n"
    "                     \\^C Ctrl-C and likewise for the other letters); each key waits\n"
    "                     until the program has read it (at most --limit cycles)\n"
    "  --wait N           run N emulated cycles (rounded up to whole 60000-cycle time slices)\n"
    "  --until TEXT       run until the visible screen contains TEXT\n"
    "  --until-pc ADDR    run until the program counter equals ADDR (hex)\n"
    "  --tape-in FILE     open FILE as the tape input\n"
    "  --tape-out FILE    open FILE as the tape output (a name without extension gets .BAS)\n"
    "  --load FILE@ADDR   copy the raw FILE into memory at ADDR (hex)\n"
    "  --pc ADDR          set the program counter to ADDR (hex)\n"
    "  --convert-kcs WAV OUTFILE  decode a Kansas City Standard recording into OUTFILE\n"
    "                     with the decoder KCS.com, as File > Convert KCS Wave Files does\n"
    "Other options:\n"
    "  --limit N          most cycles an --until step may run (default 50000000)\n"
    "  --screen           print the visible screen as text at the end\n"
    "  --screenshot FILE  write the main window as a PNG file at the end\n"
    "  --regs             print the registers at the end\n"
    "  --trace N          print the last N executed instructions at the end\n"
    "  --baud 300|600|1200, --parity even|odd, --bits 7|8, --stop 1|2\n"
    "                     the decoding parameters of --convert-kcs (default 300, even, 8, 2;\n"
    "                     8 bits with 2 stop bits carry no parity)\n"
    "  --help             show this text\n"
    "CONFIG is the configuration file, by default OSI.INI in the program's folder; a relative\n"
    "name is taken from the current folder when it is there, else from the program's folder.\n"
    "Message boxes are printed to standard error as CAPTION: text.\n"
    "Exit status: 0 success, 1 boot error, 2 bad usage, 3 an --until or --type step timed out,\n"
    "4 a recording could not be converted.\n";

enum Kind { TYPE, WAIT, UNTIL, UNTIL_PC, TAPE_IN, TAPE_OUT, LOAD, SET_PC, CONVERT_KCS };

struct Step {
    Kind kind;
    std::string text;
    uint64_t number = 0;
    std::string output;
};

// A choice among fixed words, for the decoding parameters.
bool choose(const std::string& value, std::initializer_list<const char*> words, int& index)
{
    int i = 0;
    for (const char* w : words) {
        if (value == w) {
            index = i;
            return true;
        }
        i++;
    }
    return false;
}

struct Options {
    std::vector<Step> steps;
    uint64_t limit = 50'000'000;
    bool screen = false;
    bool regs = false;
    std::string screenshot;
    uint64_t trace = 0;
    std::string config;
};

HeadlessHost headless;
uint64_t total_cycles;

int bad_usage(const std::string& why)
{
    std::fprintf(stderr, "quarzel: %s\n%s", why.c_str(), usage_text);
    return 2;
}

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

// Returns 0 to run, 2 for bad usage, -1 after --help.
int parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg == "--headless")
            continue;
        if (arg == "--help") {
            std::fputs(usage_text, stdout);
            return -1;
        }
        if (arg == "--screen") {
            o.screen = true;
            continue;
        }
        if (arg == "--regs") {
            o.regs = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            if (!o.config.empty())
                return bad_usage("only one configuration file may be named");
            o.config = arg;
            continue;
        }
        if (i + 1 >= argc)
            return bad_usage(arg + " needs a value");
        std::string value = argv[++i];
        Step step{TYPE, value, 0, ""};
        if (arg == "--type") {
            step.text.clear();
            if (!unescape(value, step.text))
                return bad_usage("unknown escape in --type " + value);
        } else if (arg == "--wait") {
            step.kind = WAIT;
            if (!parse_number(value, 10, UINT64_MAX, step.number))
                return bad_usage("--wait takes a number of cycles");
        } else if (arg == "--until") {
            step.kind = UNTIL;
        } else if (arg == "--until-pc" || arg == "--pc") {
            step.kind = arg == "--pc" ? SET_PC : UNTIL_PC;
            if (!parse_number(value, 16, 0xFFFF, step.number))
                return bad_usage(arg + " takes a hex address from 0 to FFFF");
        } else if (arg == "--tape-in" || arg == "--tape-out") {
            step.kind = arg == "--tape-in" ? TAPE_IN : TAPE_OUT;
        } else if (arg == "--load") {
            step.kind = LOAD;
            size_t at = value.rfind('@');
            if (at == std::string::npos || !parse_number(value.substr(at + 1), 16, 0xFFFF, step.number))
                return bad_usage("--load takes FILE@ADDR with a hex address");
            step.text = value.substr(0, at);
        } else if (arg == "--convert-kcs") {
            step.kind = CONVERT_KCS;
            if (i + 1 >= argc)
                return bad_usage("--convert-kcs needs a WAV file and an output file");
            step.output = argv[++i];
        } else if (arg == "--baud" || arg == "--parity" || arg == "--bits" || arg == "--stop") {
            bool ok = arg == "--baud"     ? choose(value, {"300", "600", "1200"}, Baud)
                      : arg == "--parity" ? choose(value, {"odd", "even"}, SPARITY)
                      : arg == "--bits"   ? choose(value, {"7", "8"}, SBITS)
                                          : choose(value, {"1", "2"}, SSTOP);
            if (!ok)
                return bad_usage("unknown value for " + arg + ": " + value);
            continue;
        } else if (arg == "--limit") {
            if (!parse_number(value, 10, UINT64_MAX, o.limit))
                return bad_usage("--limit takes a number of cycles");
            continue;
        } else if (arg == "--screenshot") {
            o.screenshot = value;
            continue;
        } else if (arg == "--trace") {
            if (!parse_number(value, 10, 1'000'000, o.trace))
                return bad_usage("--trace takes a number of instructions up to 1000000");
            continue;
        } else {
            return bad_usage("unknown option " + arg);
        }
        o.steps.push_back(step);
    }
    return 0;
}

// The instruction table is wrapped so that every executed instruction leaves its address.
std::vector<uint16_t> trace_ring;
uint64_t trace_count;
Routine untraced[256];

void traced_instruction()
{
    trace_ring[trace_count++ % trace_ring.size()] = RPC_old;
    untraced[R.IR]();
}

void start_trace(uint64_t n)
{
    trace_ring.assign(n, 0);
    for (int i = 0; i < 256; i++) {
        untraced[i] = Inst[i];
        Inst[i] = traced_instruction;
    }
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

void run_one_slice()
{
    run_slice();
    total_cycles += clocks;
}

void run_cycles(uint64_t n)
{
    for (uint64_t start = total_cycles; Abort && total_cycles - start < n;)
        run_one_slice();
}

// Runs until done() holds, at most `limit` cycles; false on timeout.
template <class Done> bool run_until(Done done, uint64_t limit)
{
    for (uint64_t start = total_cycles; Abort && !done();) {
        if (total_cycles - start >= limit)
            return false;
        run_one_slice();
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

int run_step(const Step& step, const Options& o)
{
    switch (step.kind) {
    case TYPE: return type_step(step.text, o.limit);
    case WAIT: run_cycles(step.number); return 0;
    case UNTIL:
        if (run_until([&] { return screen_contains(step.text); }, o.limit))
            return 0;
        std::fprintf(stderr, "quarzel: --until \"%s\" timed out after %llu cycles\n", step.text.c_str(),
                     (unsigned long long)o.limit);
        return 3;
    case UNTIL_PC:
        if (run_until_pc(step.number, o.limit))
            return 0;
        std::fprintf(stderr, "quarzel: --until-pc %04llX timed out after %llu cycles\n",
                     (unsigned long long)step.number, (unsigned long long)o.limit);
        return 3;
    case TAPE_IN:
        headless.file_answers.push_back(step.text);
        if (FileMenue(""))
            return 0;
        std::fprintf(stderr, "quarzel: cannot open tape input %s\n", step.text.c_str());
        return 2;
    case TAPE_OUT:
        headless.file_answers.push_back(step.text);
        FileSaveMenue();
        return out ? 0 : 2;
    case LOAD:
        if (load_binary(step.text, step.number) >= 0)
            return 0;
        std::fprintf(stderr, "quarzel: cannot read %s\n", step.text.c_str());
        return 2;
    case SET_PC: R.PC = step.number; return 0;
    case CONVERT_KCS: {
        headless.file_answers.push_back(step.text);
        headless.kcs_output = step.output;
        size_t shown = headless.messages.size();
        KCSConvert();
        if (headless.messages.size() > shown)
            return 4;
        if (in)
            return 0;
        std::fprintf(stderr, "quarzel: cannot open %s\n", step.text.c_str());
        return 2;
    }
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
    Options o;
    int status = parse(argc, argv, o);
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
    t_time_speed = host->clock_ms();
    SetRes();
    for (const Step& step : o.steps) {
        status = run_step(step, o);
        if (status || !Abort)
            break;
    }
    report(o);
    Terminate();
    return status;
}
