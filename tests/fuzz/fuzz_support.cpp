#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string folder_path;

void remove_folder() { fs::remove_all(folder_path); }

// Our ROMs also under the names a configuration without a [ROM] section falls back to,
// so that most mutated configurations still boot.
void fill_program_folder()
{
    const fs::path build = QUARZEL_PROGRAM_DIR;
    const fs::path folder = folder_path;
    for (const char* name : {"KEY.DAT", "OSI.INI", "basic.rom", "monitor.rom"})
        fs::copy_file(build / name, folder / name);
    fs::copy_file(build / "basic.rom", folder / "Basde.rom");
    fs::copy_file(build / "monitor.rom", folder / "Monde.rom");
}

const std::string& folder()
{
    if (folder_path.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quarzel-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror(pattern.c_str());
            std::abort();
        }
        folder_path = pattern;
        std::atexit(remove_folder);
        fill_program_folder();
        // The WAV conversion's temporary file then stays inside the folder too.
        setenv("TMPDIR", folder_path.c_str(), 1);
    }
    return folder_path;
}

} // namespace

std::string fuzz_path(const std::string& name) { return folder() + "/" + name; }

// A new file rather than a truncated one: ext4 flushes a file rewritten after truncation
// when it is closed, which costs milliseconds per run.
void write_file(const std::string& path, const std::string& bytes)
{
    std::remove(path.c_str());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string read_file(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

int call_main(int (*main)(int, char**), std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return main(int(args.size()), argv.data());
}

std::vector<std::string> kcs_format_options(uint8_t choice)
{
    std::vector<std::string> options;
    if (choice & 3)
        options.push_back((choice & 3) == 1 ? "-B1" : "-B2");
    if (choice & 4)
        options.push_back("-D");
    if (choice & 8)
        options.push_back("-S");
    if (choice & 0x30)
        options.push_back((choice & 0x30) == 0x10 ? "-E" : (choice & 0x30) == 0x20 ? "-O" : "-N");
    return options;
}

void require(bool holds, const char* what)
{
    if (holds)
        return;
    std::fprintf(stderr, "property does not hold: %s\n", what);
    std::abort();
}
