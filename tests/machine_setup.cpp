#include "frontend/startup.h"
#include "machine/memory_map.h"
#include "machine_setup.h"

#include "debugger/breakpoints.h"
#include "debugger/debugger.h"
#include "debugger/labels.h"
#include "debugger/rewind.h"
#include "frontend/screen.h"
#include "machine/keyboard.h"
#include "machine/loop.h"
#include "machine/tape.h"
#include "machine/video.h"

#include "config/config.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

HeadlessHost* test_host;

#ifdef _WIN32
int process_id() { return _getpid(); }
void set_variable(const char* name, const std::string& value) { _putenv_s(name, value.c_str()); }
#else
int process_id() { return getpid(); }
void set_variable(const char* name, const std::string& value)
{
    if (value.empty())
        unsetenv(name);
    else
        setenv(name, value.c_str(), 1);
}
#endif

void fresh_machine()
{
    delete test_host;
    test_host = new HeadlessHost;
    host = test_host;
    connect_layers();
    clear_breakpoints();
    clear_labels();
    clear_history();
    if (!RAMptr) {
        AllocMem();
        make_glyph_sets();
    }
    std::memset(RAMptr, 0, 0x10000);
    RAMTOP = 0x7FFF;
    ROMEX1size = ROMEX2size = ROMEX3size = RAMEX1size = RAMEX2size = 0;
    RAMGDC = GEnable = 0;
    screen = 0;
    IEnable = 0;
    IRQ_Interrupt = NMI_Interrupt = irq_counter = nmi_counter = 0;
    IRQ = NMI = 0;
    Hardware_timer = 0;
    clocks = 0;
    t_check = 60000;
    WarpEnable = 0;
    pace_restart();
    SEnable = 1;
    DEnable = SMode = 0;
    DebugRDY = 1;
    stop_loc = trace_loc = 0xFFFF;
    CodeERR = 0;
    TraceMode = 1;
    SpeedPos = 100;
    Abort = 1;
    gScan = irqkey = 0;
    instruction_hook = nullptr;
    jam_loc = NO_JAM;
    init_cpu();
    PokeFlag = 0;
}

void map_all_ram()
{
    for (int p = 0; p < 256; p++) {
        readMEMORY[p] = RAMREAD;
        writeMEMORY[p] = RAMWRITE;
    }
}

void load(uint32_t address, std::initializer_list<uint8_t> bytes)
{
    for (uint8_t b : bytes)
        RAMptr[address++ & 0xFFFF] = b;
}

void set_vectors(uint16_t nmi, uint16_t reset, uint16_t irq)
{
    load(0xFFFA, {uint8_t(nmi), uint8_t(nmi >> 8), uint8_t(reset), uint8_t(reset >> 8), uint8_t(irq), uint8_t(irq >> 8)});
}

void step(int count)
{
    while (count-- > 0)
        _6502();
}

std::string testdata_path(const std::string& name) { return std::string(QUARZEL_TESTDATA_DIR) + "/" + name; }

static std::filesystem::path temp_folder()
{
    static std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("quarzel-test-" + std::to_string(process_id()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

namespace {
struct RemoveTempFolder : testing::Environment {
    // The files a test left open (a tape, the converted recording) are closed first: Windows
    // removes no open file.
    void TearDown() override
    {
        tape_close_all();
        std::error_code ec;
        std::filesystem::remove_all(temp_folder(), ec);
    }
};
const auto* remove_temp_folder = testing::AddGlobalTestEnvironment(new RemoveTempFolder);
} // namespace

std::string temp_path(const std::string& name) { return (temp_folder() / name).string(); }

void write_file(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

void build_from_ini(const std::string& text)
{
    fresh_machine();
    sztFileHome = (temp_folder() / "").string();
    sztFileData.clear();
    std::filesystem::copy_file(QUARZEL_KEYDAT, temp_path("KEY.DAT"), std::filesystem::copy_options::skip_existing);
    write_file(temp_path("test.ini"), text);
    OSIini(temp_path("test.ini"));
}
