// The window as a person meets it, on Qt's offscreen platform and the real clock: a BASIC line
// typed at a fast typist's pace and how long after the last key its echo is complete, the
// speed held at 100 % and 400 %, and how fast warp runs.
#include "cpu/bus.h"
#include "frontend/qt/main_window.h"
#include "frontend/qt/qt_host.h"
#include "frontend/startup.h"
#include "machine/loop.h"

#include <QApplication>
#include <QKeyEvent>

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

// 40 keys: capitals (typed with Shift), digits, quotes and signs.
const std::string LINE = "PRINT \"AB+CD=\";12*34;\"X-Y\";56/7;\"Z!\",987";
const std::string PC_SHIFTED = "ABCDEFGHIJKLMNOPQRSTUVWXYZ\"+*!";
const int KEY_MS = 80;

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

bool shown(const std::string& text)
{
    return std::string_view(reinterpret_cast<const char*>(RAMptr) + 0xD000, 0x400).find(text) != std::string_view::npos;
}

// A key event as the desktop delivers it: queued for the window, handled by the next slice.
void post_key(QWidget* w, QEvent::Type type, uint32_t set1, const QString& text, int key,
              Qt::KeyboardModifiers modifiers)
{
    QCoreApplication::postEvent(w, new QKeyEvent(type, key, modifiers, set1 + 8, 0, 0, text));
}

bool run_until(const std::string& text, double ms)
{
    auto start = Clock::now();
    while (!shown(text) && ms_since(start) < ms)
        run_slice();
    return shown(text);
}

// Each key goes down on its 80 ms beat and up half a beat later, the PC's Shift around it where
// the US layout needs it. Returns the milliseconds from the last key-down to the full echo.
double type_line(QWidget* w)
{
    auto start = Clock::now();
    size_t next = 0;  // events sent: two per key
    while (next < 2 * LINE.size()) {
        double due = (next / 2) * KEY_MS + (next % 2) * (KEY_MS / 2);
        if (ms_since(start) < due) {
            run_slice();
            continue;
        }
        char c = LINE[next / 2];
        bool shift = PC_SHIFTED.find(c) != std::string::npos;
        Qt::KeyboardModifiers modifiers = shift ? Qt::ShiftModifier : Qt::NoModifier;
        if (next % 2 == 0) {
            if (shift)
                post_key(w, QEvent::KeyPress, 0x2A, "", Qt::Key_Shift, modifiers);
            post_key(w, QEvent::KeyPress, 0x1E, QString(c), Qt::Key_unknown, modifiers);
        } else {
            post_key(w, QEvent::KeyRelease, 0x1E, QString(c), Qt::Key_unknown, modifiers);
            if (shift)
                post_key(w, QEvent::KeyRelease, 0x2A, "", Qt::Key_Shift, Qt::NoModifier);
        }
        next++;
    }
    double last_key = (LINE.size() - 1) * KEY_MS;
    if (!run_until(LINE, 10000))
        return -1;
    return ms_since(start) - last_key;
}

// Emulated cycles per microsecond of real time over `seconds`: 1.0 is the real machine.
double rate(double seconds)
{
    auto start = Clock::now();
    uint64_t from = cycle_now();
    while (ms_since(start) < seconds * 1000)
        run_slice();
    return double(cycle_now() - from) / (ms_since(start) * 1000);
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QtHost qt;
    host = &qt;
    if (!start_machine(QUARZEL_PROGRAM_DIR "/quarzel", "")) {
        std::fprintf(stderr, "bench_window: the machine did not start\n");
        return 1;
    }
    qt.window()->show();
    QWidget* w = qt.window()->screen_widget();
    bool prompt = run_until("C/W/M ?", 5000);
    post_key(w, QEvent::KeyPress, 0x2E, "c", Qt::Key_C, Qt::NoModifier);
    post_key(w, QEvent::KeyRelease, 0x2E, "c", Qt::Key_C, Qt::NoModifier);
    for (int question = 0; question < 2; question++) {  // RETURN for MEMORY SIZE? and TERMINAL WIDTH?
        post_key(w, QEvent::KeyPress, 0x1C, "\r", Qt::Key_Return, Qt::NoModifier);
        post_key(w, QEvent::KeyRelease, 0x1C, "\r", Qt::Key_Return, Qt::NoModifier);
    }
    if (!prompt || !run_until("OK", 5000)) {
        std::fprintf(stderr, "bench_window: BASIC did not start\n");
        return 1;
    }
    double echoed = type_line(w);
    if (echoed < 0) {
        std::fprintf(stderr, "bench_window: the typed line did not appear\n");
        return 1;
    }
    std::printf("typing: %zu keys, line echoed %.0f ms after the last key\n", LINE.size(), echoed);
    std::fflush(stdout);
    SpeedPos = 100;
    std::printf("speed at 100 %%: %.2f %% over 10 s\n", rate(10) * 100);
    std::fflush(stdout);
    SpeedPos = 400;
    std::printf("speed at 400 %%: %.2f %% over 5 s\n", rate(5) * 100);
    std::fflush(stdout);
    WarpEnable = 1;
    std::printf("warp: %.0f times real time\n", rate(3));
    Terminate();
    return 0;
}
