#include "frontend/headless/steps.h"

#include "cassette/wave.h"
#include "debugger/memfile.h"
#include "frontend/savestate.h"
#include "host/files.h"
#include "host/ids.h"
#include "machine/disk.h"
#include "machine/sound.h"
#include "machine/tape.h"

#include <cstdio>

std::string parse_load(Step& s)
{
    size_t at = s.values[0].rfind('@');
    if (at == std::string::npos || !parse_number(s.values[0].substr(at + 1), 16, 0xFFFF, s.number))
        return "takes FILE@ADDR with a hex address";
    s.text = s.values[0].substr(0, at);
    return "";
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

static int run_disk(const Step& s, int drive) { return disk_attach(drive, s.values[0]) ? 0 : 2; }
int run_disk_a(const Step& s) { return run_disk(s, 0); }
int run_disk_b(const Step& s) { return run_disk(s, 1); }

static int run_protect(int drive)
{
    disk_protect(drive, true);
    return 0;
}
int run_protect_a(const Step&) { return run_protect(0); }
int run_protect_b(const Step&) { return run_protect(1); }

static int run_eject(int drive)
{
    bool saved = disk_save(drive);
    disk_eject(drive);
    return saved ? 0 : 2;
}
int run_eject_a(const Step&) { return run_eject(0); }
int run_eject_b(const Step&) { return run_eject(1); }

int run_new_disk(const Step& s)
{
    std::string problem = disk_create(s.values[0]);
    if (!problem.empty())
        std::fprintf(stderr, "quarzel: %s\n", problem.c_str());
    return problem.empty() ? 0 : 2;
}

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
static int save_range(const Step& s, int command)
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

bool write_audio(const std::string& path)
{
    sound_render(cycle_now());
    uint32_t data = uint32_t(sound_samples.size() * 2);
    std::string wav = "RIFF";
    put_le(wav, 36 + data, 4);
    wav += "WAVEfmt ";
    put_le(wav, 16, 4);
    put_le(wav, 1, 2);  // PCM
    put_le(wav, 1, 2);  // mono
    put_le(wav, AUDIO_RATE, 4);
    put_le(wav, AUDIO_RATE * 2, 4);
    put_le(wav, 2, 2);
    put_le(wav, 16, 2);
    wav += "data";
    put_le(wav, data, 4);
    for (int16_t sample : sound_samples)
        put_le(wav, uint16_t(sample), 2);
    return write_whole(path, wav);
}
