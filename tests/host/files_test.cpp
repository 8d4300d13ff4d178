// Files written for the user: a write that fails half way leaves the old file whole.
#include "host/files.h"

#include "debugger/memfile.h"
#include "frontend/keyboard_editor.h"
#include "frontend/savestate.h"
#include "cpu/bus.h"
#include "host/ids.h"
#include "machine/disk.h"
#include "machine_setup.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <utility>
#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

#ifndef _WIN32
std::string read(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

// Files of this process may grow to `bytes` only; a write past that fails (EFBIG).
void limit_file_size(rlim_t bytes)
{
    rlimit r;
    getrlimit(RLIMIT_FSIZE, &r);
    r.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &r);
}
#endif

// Each writer's file, when the disk refuses it half way: the old file stays as it was and no
// temporary file is left beside it; without the limit the new file replaces the old one.
TEST(Files, AFailedWriteLeavesTheOldFileWhole)
{
#ifdef _WIN32
    GTEST_SKIP() << "the file size limit is a POSIX one";
#else
    fresh_machine();
    const std::string folder = temp_path("whole/");
    std::filesystem::create_directories(folder);
    const std::string path = folder + "file.dat";
    auto memfile = [&](int command) {
        return [&, command] {
            mfd.start = "0000";
            mfd.length = "2000";
            test_host->file_answers = {path};
            return memfile_command(command);
        };
    };
    auto written_diskette = [&] {  // a character written on the diskette in drive A, then saved
        disk_attach(0, path, false);
        for (auto [address, value] : {std::pair{0xC001, 4}, {0xC003, 0}, {0xC002, 0xFF}, {0xC003, 4}, {0xC002, 0x2A},
                                      {0xC000, 0x40}, {0xC011, 'W'}, {0xC002, 0x2B}})
            Poke(address, uint8_t(value));
        return disk_save(0);
    };
    const struct {
        const char* what;
        std::function<bool()> write;
    } writers[] = {
        {"state", [&] { return save_state(path).empty(); }},
        {"keyboard layout", [&] { return save_layout(path); }},
        {"binary", memfile(MF_SAVE_BINARY)},
        {"listing", memfile(MF_SAVE_CODE)},
        {"tape file", memfile(MF_SAVE_TAPE)},
        {"new diskette", [&] { return disk_create(path).empty(); }},
        {"written diskette", written_diskette},
    };
    std::signal(SIGXFSZ, SIG_IGN);
    for (const auto& w : writers) {
        SCOPED_TRACE(w.what);
        const std::string old(1000, 'o');
        write_file(path, old);
        limit_file_size(200);
        bool written = w.write();
        limit_file_size(RLIM_INFINITY);
        EXPECT_FALSE(written);
        EXPECT_EQ(read(path), old);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1) << "no temporary file is left";
        EXPECT_TRUE(w.write());
        EXPECT_GT(read(path).size(), 200u);
        EXPECT_NE(read(path), old);
    }
    std::signal(SIGXFSZ, SIG_DFL);
#endif
}

// A rename that cannot be done (a folder stands there) is a failure, not a success, and leaves
// no temporary file.
TEST(Files, AReplaceThatFailsSaysSo)
{
    const std::string folder = temp_path("blocked/");
    std::filesystem::create_directories(folder + "file.dat/inside");
    EXPECT_FALSE(write_whole(folder + "file.dat", "new"));
    EXPECT_TRUE(std::filesystem::is_directory(folder + "file.dat/inside"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1) << "no temporary file is left";
}

} // namespace
