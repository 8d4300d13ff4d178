#include "debugger/trace.h"

#include "cpu/cpu.h"
#include "debugger/disassembler.h"
#include "debugger/labels.h"
#include "host/files.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Traced {
    uint16_t pc;
    uint8_t a, x, y, s, p;
    uint8_t bytes[3];
};

std::vector<Traced> ring;
uint64_t count;

// The block has the spare bytes past $FFFF mirrored by now.
void trace_instruction()
{
    const uint8_t* at = RAMptr + RPC_old;
    ring[count++ % ring.size()] = {uint16_t(RPC_old), R.A, R.X, R.Y, R.S, uint8_t(R.P | FLAG_5), {at[0], at[1], at[2]}};
}

} // namespace

void trace_start(size_t length)
{
    ring.assign(length, Traced{});
    count = 0;
    instruction_hook = length ? trace_instruction : nullptr;
}

bool trace_running() { return instruction_hook == trace_instruction; }

void trace_forget(uint64_t n) { count -= std::min<uint64_t>(n, trace_size()); }

size_t trace_size() { return ring.empty() ? 0 : size_t(std::min<uint64_t>(count, ring.size())); }

std::string trace_line(size_t n)
{
    const Traced& t = ring[(count - trace_size() + n) % ring.size()];
    char code[16], line[64];
    disassemble_bytes(code, t.pc, t.bytes);
    std::snprintf(line, sizeof line, "%04X  A=%02X X=%02X Y=%02X S=%02X P=%02X  ", t.pc, t.a, t.x, t.y, t.s, t.p);
    return line + with_labels(code);
}

std::string trace_text(size_t lines)
{
    std::string text;
    for (size_t n = trace_size() - std::min(lines, trace_size()); n < trace_size(); n++)
        text += trace_line(n) + "\n";
    return text;
}

bool write_trace(const std::string& path) { return write_whole(path, trace_text(trace_size())); }
