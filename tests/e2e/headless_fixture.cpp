#include "e2e/headless_fixture.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

std::string slurp(const fs::path& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

static std::string quote(const std::string& arg)
{
    std::string q = "'";
    for (char c : arg)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

void Headless::SetUp()
{
    dir = fs::temp_directory_path() / ("quarzel-e2e-" + std::to_string(::getpid()) + "-" +
                                       testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
}

void Headless::TearDown() { fs::remove_all(dir); }

Result Headless::run(const std::vector<std::string>& args)
{
    std::string command = quote(QUARZEL_EXE);
    for (const std::string& a : args) {
        command += ' ';
        command += quote(a);
    }
    command += " >" + quote((dir / "out").string());
    command += " 2>" + quote((dir / "err").string());
    int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir / "out"), slurp(dir / "err")};
}
