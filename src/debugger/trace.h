// The trace: the last instructions the processor ran, each with its address, the registers
// before it and its bytes. While it runs, every instruction is a single step.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t TRACE_LENGTH = 10000;

// Starts a trace of the last `length` instructions, empty; stops it with 0.
void trace_start(size_t length);
bool trace_running();
// Takes the newest `n` instructions out of the trace, as they have been gone back over.
void trace_forget(uint64_t n);
// The instructions traced so far, at most the length.
size_t trace_size();
// "0300  A=42 X=00 Y=00 S=FF P=24  LDA #42" for the nth oldest traced instruction, with labels.
std::string trace_line(size_t n);
// The last `count` lines, each ended by a new line.
std::string trace_text(size_t count);
bool write_trace(const std::string& path);
