// A bare machine for the processor tests: RAM in every page unless a test maps more.
#pragma once
#include "frontend/headless/headless_host.h"

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>

extern HeadlessHost* test_host;

// Fresh host, zeroed memory, default map with RAM up to $7FFF, cleared loop state.
void fresh_machine();
// Every page reads and writes plain RAM.
void map_all_ram();
// Write bytes straight into the block.
void load(uint32_t address, std::initializer_list<uint8_t> bytes);
void set_vectors(uint16_t nmi, uint16_t reset, uint16_t irq);
// Run one instruction at PC (the processor step of the loop).
void step(int count = 1);

std::string testdata_path(const std::string& name);
// This process's id, for folder names of its own.
int process_id();
// Sets an environment variable of this process; "" removes it.
void set_variable(const char* name, const std::string& value);

// A private folder for this test process, removed when the tests end.
std::string temp_path(const std::string& name);
void write_file(const std::filesystem::path& path, const std::string& bytes);
// Rebuilds the machine from a configuration text, with the program folder at the temporary
// folder and the default keyboard layout there.
void build_from_ini(const std::string& text);
