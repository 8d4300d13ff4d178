// Any arguments to the headless runner (NUL-separated in the input), in a working folder of
// its own: they run or are refused with a usage message, never a crash.
#include "fuzz_machine.h"
#include "fuzz_support.h"

#include "frontend/headless/runner.h"

#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

constexpr size_t most_arguments = 16, longest_argument = 32;  // ours included
constexpr unsigned long long most_cycles = 300000;

// The input's arguments, or false when it is one that would run for long or leave the
// working folder.
bool arguments(const uint8_t* data, size_t size, std::vector<std::string>& args)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    for (size_t start = 0; start <= text.size();) {
        size_t end = std::min(text.find('\0', start), text.size());
        args.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (args.size() > most_arguments)
        return false;
    for (size_t i = 0; i < args.size(); i++) {
        const std::string& a = args[i];
        if (a.size() > longest_argument || a.find('/') != std::string::npos)
            return false;
        bool counts_cycles = a == "--wait" || a == "--limit";
        if (counts_cycles && i + 1 < args.size() && std::strtoull(args[i + 1].c_str(), nullptr, 10) > most_cycles)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> args = {"quarzel", "--headless", "--limit", std::to_string(most_cycles)};
    if (!arguments(data, size, args))
        return -1;
    static const fs::path home = fs::current_path();
    fs::path work = fuzz_path("work");
    fs::remove_all(work);
    fs::create_directory(work);
    fs::current_path(work);
    fresh_start();
    int status = call_main([](int argc, char** argv) { return headless_main(argc, argv, fuzz_path("quarzel")); }, args);
    fs::current_path(home);  // where libFuzzer keeps its corpus and findings
    require(status >= 0 && status <= 4, "the runner exits with a documented status");
    return 0;
}
