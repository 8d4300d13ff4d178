#include "frontend/headless/runner.h"

#include "cassette/wave.h"
#include "debugger/breakpoints.h"
#include "debugger/labels.h"
#include "debugger/memfile.h"
#include "debugger/rewind.h"
#include "debugger/trace.h"
#include "frontend/headless/png.h"
#include "frontend/headless/steps.h"
#include "frontend/startup.h"
#include "machine/sound.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

// Settings.

std::string set_limit(Step& s) { return cycles(s.values[0], options.limit); }
std::string set_screen(Step&) { options.screen = true; return ""; }
std::string set_regs(Step&) { options.regs = true; return ""; }
std::string set_screenshot(Step& s) { options.screenshot = s.values[0]; return ""; }
std::string set_audio_out(Step& s) { options.audio_out = s.values[0]; return ""; }
std::string set_trace_file(Step& s) { options.trace_file = s.values[0]; return ""; }
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
    {"--disk-a", "FILE", "put the diskette image FILE into drive A, as DRIVE_A in the configuration does;\n"
                         "what the machine writes on it goes back to FILE", no_check,
     run_disk_a},
    {"--disk-b", "FILE", "put the diskette image FILE into drive B", no_check, run_disk_b},
    {"--protect-a", "", "write-protect drive A, as System > Protect Drive A does", no_check, run_protect_a},
    {"--protect-b", "", "write-protect drive B", no_check, run_protect_b},
    {"--eject-a", "", "take the diskette out of drive A, its changes written to its file", no_check,
     run_eject_a},
    {"--eject-b", "", "take the diskette out of drive B, its changes written to its file", no_check,
     run_eject_b},
    {"--new-disk", "FILE", "make FILE a new blank diskette image (.os5: bit-level, else plain), as\n"
                           "File > New Diskette does", no_check, run_new_disk},
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
    {"--break", "ADDR[:COND]", "add a breakpoint at ADDR (hex); when the processor gets there and COND\n"
                               "holds, the debugger opens and halts the machine there\n"
                               "(--run goes on). COND compares a register or a byte of memory with a\n"
                               "hex byte: A=0D, X>10, Y<=7F, S!=FF, P>=80, (0200)=FF",
     no_check, run_break},
    {"--watch", "RANGE[:R|W|RW]", "add a watchpoint on RANGE (ADDR or FIRST-LAST, hex): when an instruction\n"
                                  "reads (R) or writes (W) there, both when no kind is given, the debugger\n"
                                  "opens after it and says which instruction it was and the value",
     no_check, run_watch},
    {"--labels", "FILE", "load the labels of FILE (ld65 -Ln or VICE: al C000 .name or al C:C000 .name):\n"
                         "the debugger shows them, and --break, --watch and --poke take them for\n"
                         "addresses",
     no_check, run_labels},
    {"--poke", "ADDR=BYTES", "write hex bytes from ADDR on (\"0300=A9 42\", 0300=A942), through the bus as\n"
                             "the program would: a device's page gets them in its registers",
     no_check, run_poke},
    {"--back", "N", "step back N instructions: the machine as it was then, halted in the debugger\n"
                    "(the history holds snapshots of up to 64 MB)",
     parse_count, run_back_steps},
    {"--run-back", "", "go back to the last instruction where a breakpoint held or a watchpoint\n"
                       "was hit, halted in the debugger, as the debugger's Run Back does",
     no_check, run_back_to_hit},
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
    {"--audio-out", "FILE", "write the sound of the whole run to FILE as a WAV recording at the end\n"
                            "(44100 Hz, 16-bit mono, on emulated time)", set_audio_out, nullptr},
    {"--regs", "", "print the registers at the end", set_regs, nullptr},
    {"--trace", "N", "print the last N executed instructions at the end, each with its address and\n"
                     "the registers before it: 0300  A=00 X=00 Y=00 S=FF P=24  LDA #42",
     set_trace, nullptr},
    {"--trace-file", "FILE", "write the last 10000 executed instructions (or N of --trace when more)\n"
                             "to FILE at the end, as --trace prints them",
     set_trace_file, nullptr},
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
        std::fputs(trace_text(o.trace).c_str(), stdout);
    if (!o.trace_file.empty() && !write_trace(o.trace_file))
        std::fprintf(stderr, "quarzel: cannot write %s\n", o.trace_file.c_str());
    if (!o.audio_out.empty() && !write_audio(o.audio_out))
        std::fprintf(stderr, "quarzel: cannot write %s\n", o.audio_out.c_str());
    if (!o.screenshot.empty() && !write_png(o.screenshot, host->surface()))
        std::fprintf(stderr, "quarzel: cannot write %s\n", o.screenshot.c_str());
}

} // namespace

int headless_main(int argc, char** argv, const std::string& program_file)
{
    options = Options();  // a fresh start for every call, as a fuzz target makes them
    headless = HeadlessHost();
    clear_breakpoints();
    clear_labels();
    clear_history();
    trace_start(0);
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
    if (o.trace || !o.trace_file.empty())
        trace_start(std::max<size_t>(o.trace, o.trace_file.empty() ? 0 : TRACE_LENGTH));
    mfd.autostart = false;
    sound_start(o.audio_out.empty() ? 0 : AUDIO_RATE);
    SetRes();
    for (const Step& step : o.steps) {
        headless.inputs++;
        status = step.row->run(step);
        if (status || !Abort)
            break;
    }
    report(o);
    sound_start(0);
    Terminate();
    return status;
}
