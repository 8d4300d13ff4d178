// Decodes recordings of known bytes, worn as cassettes wear them, with KCS.com's decoder
// in this process: prints each case's bytes recovered and the decoding speed, and the
// speed on noise and silence. Usage: bench_kcs [runs] (each case's fastest run counts).
#include "cassette/kcs_bench_cases.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

int kcs_main(int argc, char** argv);

namespace {

using namespace kcs_cases;
namespace fs = std::filesystem;

fs::path folder;

std::string slurp(const fs::path& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

void spill(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// KCS.com with these arguments, its standard error into `report`.
int kcs(std::vector<std::string> args, const fs::path& report)
{
    args.insert(args.begin(), "KCS.com");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    std::fflush(stderr);
    int saved = dup(2), file = open(report.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(file, 2);
    close(file);
    int status = kcs_main(int(argv.size()), argv.data());
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    return status;
}

Recording encode(const std::vector<uint8_t>& bytes, const Format& f)
{
    spill(folder / "bytes", std::string(bytes.begin(), bytes.end()));
    std::vector<std::string> args = {"-W", "-L1"};
    args.insert(args.end(), f.options.begin(), f.options.end());
    args.insert(args.end(), {(folder / "bytes").string(), (folder / "clean.wav").string()});
    if (kcs(args, folder / "report") != 0) {
        std::fprintf(stderr, "bench_kcs: the encoder failed: %s\n", slurp(folder / "report").c_str());
        std::exit(1);
    }
    return {from_wav8(slurp(folder / "clean.wav")), bytes, f, 1.0};
}

struct Decoded {
    std::string bytes, report;
    int status = 0;
    double seconds = 1e9;  // the fastest run's
};

Decoded decode(const Samples& samples, const Format& f, int runs)
{
    spill(folder / "in.raw", raw8(samples));
    fs::remove(folder / "out");
    std::vector<std::string> args = {"-R"};
    args.insert(args.end(), f.options.begin(), f.options.end());
    args.insert(args.end(), {(folder / "in.raw").string(), (folder / "out").string()});
    Decoded d;
    for (int run = 0; run < runs; run++) {
        auto start = std::chrono::steady_clock::now();
        d.status = kcs(args, folder / "report");
        d.seconds = std::min(d.seconds, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    d.bytes = slurp(folder / "out");
    d.report = slurp(folder / "report");
    return d;
}

// The counts of the report's first line: "..., N bytes, F framing and P parity errors".
size_t errors_reported(const std::string& report)
{
    size_t framing = 0, parity = 0;
    const char* at = std::strstr(report.c_str(), " bytes, ");
    if (at && std::sscanf(at, " bytes, %zu framing and %zu parity", &framing, &parity) == 2)
        return framing + parity;
    return 0;
}

// Exact; or counted: no more bytes wrong or lost than errors reported (none lost unseen);
// or lost.
const char* verdict(const Decoded& d, const Degraded& worn, size_t right)
{
    if (d.bytes == std::string(worn.expected.begin(), worn.expected.end()))
        return "exact";
    return worn.expected.size() - right <= errors_reported(d.report) ? "counted" : "LOST";
}

struct Totals {
    double samples = 0, seconds = 0, slowest = 1e30;
    int exact = 0, counted = 0, cases = 0;

    void add(size_t n, double s)
    {
        samples += double(n);
        seconds += s;
        slowest = std::min(slowest, double(n) / RATE / s);
    }
};

void row(const std::string& name, const Format& f, const std::string& score, const std::string& result,
         const Decoded& d, size_t n)
{
    std::printf("%-22s %5d %-4s %10s %8zu %-11s %4d %9.2f %8.0f\n", name.c_str(), f.baud, f.name, score.c_str(),
                errors_reported(d.report), result.c_str(), d.status, double(n) / d.seconds / 1e6,
                double(n) / RATE / d.seconds);
}

void degraded_table(int runs, Totals& totals)
{
    std::printf("%-22s %5s %-4s %10s %8s %-11s %4s %9s %8s\n", "case", "baud", "fmt", "right/sent", "errors",
                "verdict", "exit", "Msmp/s", "x real");
    for (const Format& f : formats()) {
        Recording clean = encode(random_bytes(f.baud == 300 ? 200 : 600, 1), f);
        for (const Case& c : cases()) {
            Degraded worn = c.make(clean);
            Decoded d = decode(worn.samples, f, runs);
            size_t right = bytes_right(d.bytes, worn.expected);
            std::string result = verdict(d, worn, right) + std::string(worn.damaging ? " (d)" : "");
            row(c.name, f, std::to_string(right) + "/" + std::to_string(worn.expected.size()), result, d,
                worn.samples.size());
            totals.add(worn.samples.size(), d.seconds);
            totals.exact += result.rfind("exact", 0) == 0;
            totals.counted += result.rfind("counted", 0) == 0;
            totals.cases++;
        }
    }
}

void speed_table(int runs, Totals& totals)
{
    for (const Format& f : formats()) {
        for (auto [name, samples] : {std::pair{"noise only 30 s", noise_only(30, 40)}, {"silence 30 s", silence(30)}}) {
            Decoded d = decode(samples, f, runs);
            row(name, f, std::to_string(d.bytes.size()) + " out", "-", d, samples.size());
            totals.add(samples.size(), d.seconds);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    char name[] = "/tmp/bench_kcs.XXXXXX";
    if (!mkdtemp(name)) {
        std::perror("bench_kcs");
        return 1;
    }
    folder = name;
    Totals totals;
    degraded_table(runs, totals);
    speed_table(runs, totals);
    std::printf("\n%d of %d degraded cases exact, %d with every wrong byte counted ((d): a damaging case)\n",
                totals.exact, totals.cases, totals.counted);
    std::printf("decoding: %.2f M samples/s overall, %.0f times real time; slowest input %.0f times real time\n",
                totals.samples / totals.seconds / 1e6, totals.samples / RATE / totals.seconds, totals.slowest);
    fs::remove_all(folder);
    return 0;
}
