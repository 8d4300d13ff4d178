// The desktop window, driven on Qt's offscreen platform.
#include "cassette/wave.h"
#include "config/config.h"
#include "cpu/bus.h"
#include "frontend/keyboard_editor.h"
#include "frontend/qt/audio_out.h"
#include "frontend/qt/debugger_window.h"
#include "frontend/qt/kcs_dialog.h"
#include "frontend/qt/keyboard_dialog.h"
#include "frontend/qt/main_window.h"
#include "frontend/qt/memfile_dialog.h"
#include "frontend/qt/qt_host.h"
#include "frontend/qt/scancode.h"
#include "frontend/qt/speed_window.h"
#include "frontend/speed.h"
#include "frontend/startup.h"
#include "host/ids.h"
#include "machine/board.h"
#include "machine/keyboard.h"
#include "machine/loop.h"
#include "machine/memory_map.h"
#include "machine/sound.h"
#include "machine/tape.h"
#include "machine/typist.h"
#include "machine_setup.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QAudioDevice>
#include <QClipboard>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

class Window : public testing::Test {
protected:
    std::unique_ptr<QtHost> qt;

    void SetUp() override
    {
        qt = std::make_unique<QtHost>();
        host = qt.get();
        Abort = 1;  // a test before may have ended the program
        ASSERT_TRUE(start_machine(QUARZEL_PROGRAM_DIR "/quarzel", "")) << SYS[7];
        qt->window()->show();
        SpeedPos = 4000;  // 1 ms slices
    }
    void TearDown() override
    {
        Terminate();
        qt.reset();
        host = nullptr;
    }

    void slices(int n)
    {
        for (int i = 0; i < n && Abort; i++)
            run_slice();
    }
    void trigger(int id)
    {
        qt->window()->action(id)->trigger();
        slices(1);
    }
    bool screen_shows(const char* text)
    {
        return std::string(reinterpret_cast<char*>(RAMptr) + 0xD000, 0x400).find(text) != std::string::npos;
    }
    QSize client() const { return qt->window()->screen_widget()->size(); }
};

TEST_F(Window, StartsOnTheOwnRomsAndShowsTheBootScreen)
{
    EXPECT_EQ(qt->window()->windowTitle(), "Quarzel Emulator");
    EXPECT_EQ(client(), QSize(304, 296));
    for (int i = 0; i < 50 && !screen_shows("C/W/M ?"); i++)
        slices(1);
    ASSERT_TRUE(screen_shows("C/W/M ?"));
    QImage shown = qt->window()->screen_widget()->grab().toImage();
    int lit = 0;
    for (int y = 0; y < shown.height(); y++)
        for (int x = 0; x < shown.width(); x++)
            lit += shown.pixel(x, y) == 0xFFFFFFFF;
    EXPECT_GT(lit, 200) << "the banner is drawn";
}

TEST_F(Window, NativeScanCodesReachTheKeyMatrix)
{
    EXPECT_EQ(set1_scan_code(0x1E + 8), 0x1E);
    EXPECT_EQ(set1_scan_code(103 + 8), 0x48) << "Up";
    EXPECT_EQ(set1_scan_code(111 + 8), 0x53) << "Delete";
    EXPECT_EQ(set1_scan_code(96 + 8), 0x1C) << "keypad Enter";
    EXPECT_EQ(set1_scan_code(3), 0);

    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 0x1E + 8, 0, 0);
    QApplication::sendEvent(qt->window()->screen_widget(), &press);
    slices(1);
    EXPECT_EQ(key_matrix[6], 0xBFu) << "A is row 6, column 1";
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 0x1E + 8, 0, 0, QString(), true);
    QApplication::sendEvent(qt->window()->screen_widget(), &repeat);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, 0x1E + 8, 0, 0);
    QApplication::sendEvent(qt->window()->screen_widget(), &release);
    EXPECT_EQ(qt->messages.size(), 1u) << "auto-repeated key-downs are dropped";
    slices(1);
    EXPECT_EQ(key_matrix[6], 0xFFu);
}

// A key event as the desktop gives it: native scan code and the character of its layout.
void send_key(QWidget* widget, QEvent::Type type, uint32_t set1, const QString& text, int key = Qt::Key_unknown,
              Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent e(type, key, modifiers, set1 + 8, 0, 0, text);
    QApplication::sendEvent(widget, &e);
}

// Types on a US layout, every event sent before the machine runs on: the PC's Shift goes down
// before each character that needs it there, and up after the character's key or, as a
// quick typist (and xdotool) does it every other time, before.
void type_at_once(QWidget* w, const std::string& text)
{
    const std::string shifted = "\"+*()!#$%&<>?:";
    bool shift_first = false;
    for (char c : text) {
        bool shift = shifted.find(c) != std::string::npos;
        shift_first = shift && !shift_first;
        if (shift)
            send_key(w, QEvent::KeyPress, 0x2A, "", Qt::Key_Shift, Qt::ShiftModifier);
        send_key(w, QEvent::KeyPress, 0x1E, QString(c));
        if (shift_first)
            send_key(w, QEvent::KeyRelease, 0x2A, "", Qt::Key_Shift);
        send_key(w, QEvent::KeyRelease, 0x1E, QString(c));
        if (shift && !shift_first)
            send_key(w, QEvent::KeyRelease, 0x2A, "", Qt::Key_Shift);
    }
}

bool osi_down(OsiKey key) { return !(key_matrix[key.row] & (1 << key.column)); }

TEST_F(Window, TranslatedKeysPressTheOsiKeysCarryingTheirCharacters)
{
    QWidget* w = qt->window()->screen_widget();
    ASSERT_TRUE(qt->window()->action(CMD_TRANSLATE_KEYS)->isChecked()) << "the shipped OSI.INI turns it on";
    const struct {
        uint32_t scan;  // where a US layout has the character
        char c;
        OsiKey key;
        bool shift;
    } cases[] = {
        {0x0D, '+', {6, 2}, true}, {0x27, ':', {1, 4}, false}, {0x28, '"', {0, 6}, true},
        {0x09, '*', {1, 4}, true}, {0x0D, '=', {1, 3}, true},
        // capitals typed with Shift: most letters keep it, Shift Lock deciding their case, but N
        // would be ^ and O a rub-out with the OSI Shift down
        {0x19, 'P', {6, 1}, true}, {0x31, 'N', {5, 3}, false}, {0x18, 'O', {2, 5}, false},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.c);
        bool pc_shift = k.c != '=';  // '=' needs Shift on the OSI keyboard but not on the PC's
        if (pc_shift)
            send_key(w, QEvent::KeyPress, 0x2A, "");
        slices(1);
        send_key(w, QEvent::KeyPress, k.scan, QString(k.c));
        slices(1);
        EXPECT_TRUE(osi_down(k.key));
        EXPECT_EQ(osi_down(OSI_SHIFT_LEFT) || osi_down(OSI_SHIFT_RIGHT), k.shift);
        send_key(w, QEvent::KeyRelease, k.scan, QString(k.c));
        if (pc_shift)
            send_key(w, QEvent::KeyRelease, 0x2A, "");
        slices(2);
        EXPECT_FALSE(osi_down(k.key));
    }

    trigger(CMD_TRANSLATE_KEYS);
    EXPECT_FALSE(qt->window()->action(CMD_TRANSLATE_KEYS)->isChecked());
    send_key(w, QEvent::KeyPress, 0x28, "'");
    slices(1);
    EXPECT_TRUE(osi_down({1, 4})) << "positional: the layout file puts ': *' where a US layout has '";
    EXPECT_FALSE(osi_down({0, 1})) << "not the OSI key that carries '";
}

TEST_F(Window, BasicEchoesWhatIsTypedOnThePcKeyboard)
{
    QWidget* w = qt->window()->screen_widget();
    auto type = [&](const std::string& text) {
        for (char c : text) {
            send_key(w, QEvent::KeyPress, 0x1E, QString(c));
            slices(2);
            send_key(w, QEvent::KeyRelease, 0x1E, QString(c));
            slices(2);
        }
    };
    for (int i = 0; i < 50 && !screen_shows("C/W/M ?"); i++)
        slices(1);
    type("c\r\r");
    for (int i = 0; i < 100 && !screen_shows("OK"); i++)
        slices(1);
    type("print \"A+B=\";2*3\r");
    for (int i = 0; i < 100 && !screen_shows("A+B= 6"); i++)
        slices(1);
    EXPECT_TRUE(screen_shows("PRINT \"A+B=\";2*3")) << std::string(reinterpret_cast<char*>(RAMptr) + 0xD000, 0x400);
    EXPECT_TRUE(screen_shows("A+B= 6"));
}

// Keys typed faster than the machine takes them all arrive in order, shifted ones too; Ctrl-C
// typed quickly, Ctrl let go before C, is a break and nothing else.
TEST_F(Window, KeysTypedAheadAllArriveInOrder)
{
    QWidget* w = qt->window()->screen_widget();
    for (int i = 0; i < 50 && !screen_shows("C/W/M ?"); i++)
        slices(1);
    type_at_once(w, "c\r\r");
    for (int i = 0; i < 100 && !screen_shows("OK"); i++)
        slices(1);
    type_at_once(w, "print \"a+b=\";2*3;\"(8)=-!#$%&'<>?,./;+*\"\r10 goto 10\rrun\r");
    // 146 key events: they go in as fast as the ROM takes them, not one a slice
    for (int i = 0; i < 100 && !screen_shows("RUN"); i++)
        slices(1);
    EXPECT_TRUE(screen_shows("PRINT \"A+B=\";2*3;\"(8)=-!#$%&'<>?,./;+*\"")) << std::string(reinterpret_cast<char*>(RAMptr) + 0xD000, 0x400);
    EXPECT_TRUE(screen_shows("A+B= 6 (8)=-!#$%&'<>?,./;+*"));

    slices(20);
    send_key(w, QEvent::KeyPress, 0x1D, "", Qt::Key_Control, Qt::ControlModifier);
    send_key(w, QEvent::KeyPress, 0x2E, "\x03", Qt::Key_C, Qt::ControlModifier);
    send_key(w, QEvent::KeyRelease, 0x1D, "", Qt::Key_Control, Qt::NoModifier);
    send_key(w, QEvent::KeyRelease, 0x2E, "c", Qt::Key_C, Qt::NoModifier);
    for (int i = 0; i < 100 && !screen_shows("BREAK IN 10"); i++)
        slices(1);
    slices(40);
    std::string shown(reinterpret_cast<char*>(RAMptr) + 0xD000, 0x400);
    size_t at = shown.find("BREAK IN 10");
    ASSERT_NE(at, std::string::npos) << shown;
    EXPECT_EQ(shown.find('C', at), std::string::npos) << "no stray C after the break\n" << shown;
}

TEST_F(Window, PasteTextTypesAProgram)
{
    for (int i = 0; i < 50 && !screen_shows("C/W/M ?"); i++)
        slices(1);
    QGuiApplication::clipboard()->setText("C\n\n");
    trigger(CMD_PASTE_TEXT);
    for (int i = 0; i < 200 && !screen_shows("OK"); i++)
        slices(1);
    QGuiApplication::clipboard()->setText("10 PRINT 1\n20 PRINT 2\r\n30 END\nLIST\n");
    trigger(CMD_PASTE_TEXT);
    for (int i = 0; i < 2000 && type_busy(); i++)
        slices(1);
    slices(20);
    std::string shown(reinterpret_cast<char*>(RAMptr) + 0xD000, 0x400);
    size_t list = shown.find("LIST");
    ASSERT_NE(list, std::string::npos) << shown;
    EXPECT_NE(shown.find("10 PRINT 1", list), std::string::npos) << shown;
    EXPECT_NE(shown.find("30 END", list), std::string::npos) << shown;

    QGuiApplication::clipboard()->setText("10 REM A LONG LINE THAT ESC STOPS\n");
    trigger(CMD_PASTE_TEXT);
    ASSERT_TRUE(type_busy());
    send_key(qt->window()->screen_widget(), QEvent::KeyPress, 0x01, "\x1b", Qt::Key_Escape);
    slices(1);
    EXPECT_FALSE(type_busy());
}

TEST_F(Window, DroppedFileBecomesTheTapeInput)
{
    std::string path = std::filesystem::temp_directory_path() / ("quarzel-drop-" + std::to_string(process_id()) + ".bas");
    std::ofstream(path) << "10 PRINT 1\n";
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(qt->window()->screen_widget(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(qt->window()->screen_widget(), &drop);
    ASSERT_EQ(qt->messages.size(), 1u);
    slices(1);
    EXPECT_NE(in, nullptr);
    EXPECT_EQ(Peek(0xF001), '1');
    std::filesystem::remove(path);
}

TEST_F(Window, DebuggerOpensByF11StepsAndCloses)
{
    send_key(qt->window()->screen_widget(), QEvent::KeyPress, 0x57, "", Qt::Key_F11);
    send_key(qt->window()->screen_widget(), QEvent::KeyRelease, 0x57, "", Qt::Key_F11);
    slices(4);
    DebuggerWindow* d = qt->debugger_window();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), " Debugger & CPU Status");
    EXPECT_TRUE(qt->window()->action(CMD_DEBUGGER)->isChecked());
    EXPECT_TRUE(qt->window()->action(CMD_PAUSE)->isChecked());
    QString pc = d->label(1012)->text();
    EXPECT_EQ(pc, QString::asprintf("0x%04X", unsigned(R.PC)));
    d->click(DBG_SINGLE_STEP);
    slices(2);
    EXPECT_NE(d->label(1012)->text(), pc) << "one instruction later";
    EXPECT_EQ(d->label(1012)->text(), QString::asprintf("0x%04X", unsigned(R.PC)));

    uint32_t at = R.PC;  // a JAM there: the open window says the processor is halted
    uint8_t code = RAMptr[at];
    RAMptr[at] = 0x02;
    d->click(DBG_SINGLE_STEP);
    slices(2);
    EXPECT_EQ(d->windowTitle(), QString::asprintf(" Debugger & CPU Status - Processor halted by JAM at $%04X", at));
    RAMptr[at] = code;
    d->click(DBG_RESET);
    slices(1);
    EXPECT_EQ(d->windowTitle(), " Debugger & CPU Status");
    send_key(d, QEvent::KeyPress, 0x01, "\x1b", Qt::Key_Escape);  // as its Close button does
    slices(1);
    EXPECT_EQ(qt->debugger_window(), nullptr);
    EXPECT_FALSE(qt->window()->action(CMD_DEBUGGER)->isChecked());
    EXPECT_FALSE(qt->window()->action(CMD_PAUSE)->isChecked());
    EXPECT_EQ(DEnable, 0) << "the machine runs on";
    trigger(CMD_DEBUGGER);
    EXPECT_NE(qt->debugger_window(), nullptr) << "the menu brings it back";
}

// The window's lists of breakpoints and watchpoints, its memory editing, trace and Step Back.
TEST_F(Window, DebuggerListsPointsWritesTracesAndStepsBack)
{
    SpeedPos = 400;  // the fastest a snapshot, a state, may hold
    trigger(CMD_DEBUGGER);
    slices(2);
    DebuggerWindow* d = qt->debugger_window();
    ASSERT_NE(d, nullptr);
    d->edit(DBG_POINT_FIELD)->setText("0310:A=0D");
    d->click(DBG_ADD_BREAK);
    d->edit(DBG_POINT_FIELD)->setText("0200-020F:W");
    d->click(DBG_ADD_WATCH);
    d->edit(DBG_BREAKPOINT)->setText("0305");
    d->click(DBG_SET_BP);
    slices(1);
    ASSERT_EQ(d->points()->count(), 3);
    EXPECT_EQ(d->points()->item(0)->text(), "SetBP 0305");
    EXPECT_EQ(d->points()->item(1)->text(), "Break 0310:A=0D");
    EXPECT_EQ(d->points()->item(2)->text(), "Watch 0200-020F:W");
    d->points()->setCurrentRow(1);
    d->click(DBG_TOGGLE_POINT);
    slices(1);
    EXPECT_EQ(d->points()->item(1)->text(), "Break 0310:A=0D off");

    d->edit(DBG_MEMORY_START)->setText("0300");
    d->edit(DBG_BYTES)->setText("A9 42 8D 00 02 EA");  // LDA #$42; STA $0200; NOP
    d->click(DBG_WRITE_MEM);
    slices(1);
    EXPECT_EQ(d->label(DBG_STATUS)->text(), "Wrote 6 bytes at $0300");
    EXPECT_TRUE(d->text_box(DBG_DUMP)->toPlainText().startsWith("$0300  A9 42 8D 00 02 EA")) << "the dump";

    d->click(DBG_TRACE);
    d->edit(DBG_PC_FIELD)->setText("0300");
    d->click(DBG_SET_PC);
    d->click(DBG_SINGLE_STEP);
    slices(2);
    d->click(DBG_SINGLE_STEP);
    slices(2);
    EXPECT_EQ(d->label(DBG_STATUS)->text(), "Stopped by watchpoint: $0302 STA $0200 wrote $42 to $0200");
    EXPECT_TRUE(d->text_box(DBG_TRACE_TEXT)->toPlainText().endsWith("0302  A=42 X=00 Y=00 S=FF P=20  STA $0200\n"))
        << d->text_box(DBG_TRACE_TEXT)->toPlainText().right(200).toStdString();
    d->click(DBG_STEP_BACK);
    slices(2);
    EXPECT_EQ(R.PC, 0x0302u) << d->label(DBG_STATUS)->text().toStdString();
    EXPECT_EQ(d->label(1012)->text(), "0x0302");
    EXPECT_EQ(d->label(DBG_STATUS)->text(), "Stepped back 1 instruction");
    d->click(DBG_TRACE);
    slices(1);
}

// A JAM opens the window, whose title says the processor is halted until a reset.
TEST_F(Window, JamOpensTheDebuggerUntilAReset)
{
    RAMptr[0x0300] = 0x02;
    R.PC = 0x0300;
    slices(1);
    DebuggerWindow* d = qt->debugger_window();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), " Debugger & CPU Status - Processor halted by JAM at $0300");
    d->click(DBG_RESET);
    slices(1);
    EXPECT_EQ(d->windowTitle(), " Debugger & CPU Status");
}

// A breakpoint opens the window (the command it posts used to be dropped while the item was greyed).
TEST_F(Window, BreakpointOpensTheDebugger)
{
    for (int i = 0; i < 50 && !screen_shows("C/W/M ?"); i++)
        slices(1);
    stop_loc = RPC_old;  // an instruction of the monitor's keyboard loop
    for (int i = 0; i < 20 && !qt->debugger_window(); i++)
        slices(1);
    ASSERT_NE(qt->debugger_window(), nullptr);
    EXPECT_EQ(RPC_old, stop_loc) << "the opened window halts after the instruction at the breakpoint";
    EXPECT_EQ(qt->debugger_window()->label(1012)->text(), QString::asprintf("0x%04X", unsigned(R.PC)));
}

TEST_F(Window, BinaryFilesDialogListsCode)
{
    EXPECT_TRUE(qt->window()->action(CMD_BINARY_FILES)->isEnabled());
    RAMptr[0x0300] = 0xEA;
    MemfileDialog dialog(qt->window());
    auto edits = dialog.findChildren<QLineEdit*>();
    ASSERT_EQ(edits.size(), 2);
    EXPECT_EQ(edits[0]->text(), "0000");
    edits[0]->setText("0300");
    dialog.click(MF_DISPLAY);
    QString listing = dialog.findChild<QPlainTextEdit*>()->toPlainText();
    EXPECT_TRUE(listing.startsWith("Adress  Code\n$0300   NOP\n")) << listing.toStdString();
    EXPECT_EQ(edits[1]->text(), "0100") << "an empty length is a page";
}

// Answers the modal dialogs as they open, one step each and in order; a step returns false
// while the dialog it waits for is not the active one yet. The script ends with the timer.
std::unique_ptr<QTimer> script_modals(std::vector<std::function<bool(QWidget*)>> steps)
{
    auto timer = std::make_unique<QTimer>();
    auto next = std::make_shared<size_t>(0);
    QObject::connect(timer.get(), &QTimer::timeout, [t = timer.get(), next, steps] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && *next < steps.size() && steps[*next](modal))
            ++*next;
        if (*next == steps.size())
            t->stop();
    });
    timer->start(5);
    return timer;
}

// A message box: its text, and it is closed.
std::function<bool(QWidget*)> catch_box(std::string& text)
{
    return [&text](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box) {
            text = box->text().toStdString();
            box->accept();
        }
        return box != nullptr;
    };
}

void click_at(QWidget* widget, QPoint where, Qt::MouseButton button)
{
    QMouseEvent e(QEvent::MouseButtonPress, where, widget->mapToGlobal(where), button, button, Qt::NoModifier);
    QApplication::sendEvent(widget, &e);
}

TEST_F(Window, KeyboardEditorMapsKeysWithoutTouchingTheMatrix)
{
    ASSERT_TRUE(qt->window()->action(CMD_CONFIG_KEYBOARD)->isEnabled());
    KeyRecord before[128];
    std::memcpy(before, key_ref, sizeof before);
    bool seen = false;
    auto script = script_modals({[&](QWidget* modal) {
        auto* editor = dynamic_cast<KeyboardDialog*>(modal);
        if (!editor)
            return false;
        auto fields = editor->findChildren<QLineEdit*>();
        click_at(editor->grid(), editor->grid()->centre(6, 1), Qt::LeftButton);
        EXPECT_EQ(fields[1]->text(), "PC: 30") << "A presses this cell";
        EXPECT_EQ(fields[0]->text(), " Press now Keyboard");
        send_key(editor, QEvent::KeyPress, 0x20, "d", Qt::Key_D);
        EXPECT_EQ(key_ref[0x20].row, 6);
        EXPECT_EQ(key_ref[0x20].mask, 0xBF);
        EXPECT_EQ(fields[1]->text(), "PC: 32");
        EXPECT_EQ(key_matrix[4], 0xFFu) << "the key never reached the OSI keyboard";
        EXPECT_EQ(gScan, 0u);
        click_at(editor->grid(), editor->grid()->centre(0, 7), Qt::RightButton);
        EXPECT_EQ(fields[1]->text(), "PC: - - -");
        seen = true;
        editor->reject();  // Cancel
        return true;
    }});
    trigger(CMD_CONFIG_KEYBOARD);
    ASSERT_TRUE(seen);
    EXPECT_EQ(std::memcmp(before, key_ref, sizeof before), 0) << "Cancel brought the configured layout back";
}

std::string u16(uint32_t v) { return {char(v), char(v >> 8)}; }
std::string u32(uint32_t v) { return u16(v) + u16(v >> 16); }

// The 22050 Hz 8-bit mono recording `wav` as people have them: 44.1 kHz, 16 bit, stereo.
void write_cd_quality(const std::string& wav, const std::string& path)
{
    std::ifstream f(wav, std::ios::binary);
    std::string in((std::istreambuf_iterator<char>(f)), {}), data;
    for (size_t i = 44; i < in.size(); i++) {
        int now = uint8_t(in[i]) - 128, next = i + 1 < in.size() ? uint8_t(in[i + 1]) - 128 : now;
        for (int half : {2 * now, now + next})
            data += u16(uint16_t(half * 128)) + u16(uint16_t(half * 128));
    }
    write_file(path, "RIFF" + u32(uint32_t(36 + data.size())) + "WAVEfmt " + u32(16) + u16(1) + u16(2) +
                         u32(44100) + u32(44100 * 4) + u16(4) + u16(16) + "data" + u32(uint32_t(data.size())) + data);
}

// A recording made by the decoder's own encoder, decoded from the window: the chooser, the
// parameter dialog and KCS.com in a program folder of the test's own.
class Convert : public Window {
protected:
    const std::string text = "10 PRINT \"QUARZEL\"\r20 GOTO 10\r";
    std::string home;

    void SetUp() override
    {
        Window::SetUp();
        home = temp_path(std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + "/");
        std::filesystem::create_directories(home + "FILES");
        std::filesystem::create_symlink(QUARZEL_PROGRAM_DIR "/KCS.com", home + "KCS.com");
        write_file(temp_path("program.bas"), text);
        ASSERT_EQ(QProcess::execute(QUARZEL_PROGRAM_DIR "/KCS.com",
                                    {"-W", "-D", "-S", "-L1", QString::fromStdString(temp_path("program.bas")),
                                     QString::fromStdString(temp_path("tape.wav"))}),
                  0);
        sztFileHome = sztFileData = home;
    }
    // Chooses `wav`, lets `adjust` work the dialog, confirms it; the decoded file's text.
    std::string convert(const std::string& wav, std::function<void(KcsDialog*)> adjust)
    {
        bool confirmed = false;
        std::string box;
        auto script = script_modals({[&](QWidget* modal) {
                                         auto* chooser = qobject_cast<QFileDialog*>(modal);
                                         if (!chooser)
                                             return false;
                                         EXPECT_TRUE(chooser->nameFilters().first().contains("*.wav"));
                                         chooser->selectFile(QString::fromStdString(wav));
                                         QMetaObject::invokeMethod(chooser, "accept");
                                         return true;
                                     },
                                     [&](QWidget* modal) {
                                         auto* setup = dynamic_cast<KcsDialog*>(modal);
                                         if (!setup)
                                             return false;
                                         adjust(setup);
                                         confirmed = true;
                                         setup->accept();
                                         return true;
                                     },
                                     catch_box(box)});
        trigger(CMD_CONVERT_KCS);
        EXPECT_TRUE(confirmed);
        EXPECT_EQ(box, home + "FILES/KCS.BAS: " + std::to_string(text.size()) + " bytes, 0 damaged");
        std::ifstream decoded(home + "FILES/KCS.BAS", std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(decoded)), {});
    }
};

TEST_F(Convert, DecodesARecordingFromTheWindow)
{
    std::string got = convert(temp_path("tape.wav"), [](KcsDialog* setup) {
        EXPECT_TRUE(setup->button(KCS_300_BAUD)->isChecked());
        setup->bar(KCS_HYSTERESIS)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        EXPECT_EQ(setup->value(KCS_HYSTERESIS)->text(), "  4");
        setup->bar(KCS_HYSTERESIS)->triggerAction(QAbstractSlider::SliderPageStepAdd);
        EXPECT_EQ(Hysteresis, 4) << "a page step changes nothing";
        setup->button(KCS_PARITY)->click();
        EXPECT_EQ(SPARITY, 0);
        setup->button(KCS_PARITY)->click();
    });
    EXPECT_EQ(got, text);
    EXPECT_EQ(sztFilePath, temp_path("")) << "the next chooser opens in the recording's folder";
    Hysteresis = 3;
}

TEST_F(Convert, DecodesACdQualityRecording)
{
    write_cd_quality(temp_path("tape.wav"), temp_path("cd.wav"));
    EXPECT_EQ(convert(temp_path("cd.wav"), [](KcsDialog*) {}), text);
}

// F5 saves the machine into FILES/quick.qst and F6 brings it back; neither reaches the OSI keyboard.
TEST_F(Window, QuickSaveAndLoad)
{
    std::string home = temp_path("quick/");
    std::filesystem::create_directories(home + "FILES");
    sztFileHome = sztFileData = home;
    SpeedPos = 400;  // the fastest a state may hold
    auto* file = qobject_cast<QMenu*>(qt->window()->action(CMD_PASTE_TEXT)->parent());
    ASSERT_NE(file, nullptr);
    QList<QAction*> items = file->actions();
    int paste = items.indexOf(qt->window()->action(CMD_PASTE_TEXT));
    ASSERT_GE(paste, 2);
    EXPECT_EQ(items[paste - 2]->text(), "Save S&tate...");
    EXPECT_EQ(items[paste - 1]->text(), "Loa&d State...");

    slices(5);
    RAMptr[0x0200] = 0x42;
    send_key(qt->window()->screen_widget(), QEvent::KeyPress, 0x3F, "", Qt::Key_F5);
    send_key(qt->window()->screen_widget(), QEvent::KeyRelease, 0x3F, "", Qt::Key_F5);
    slices(3);
    ASSERT_TRUE(std::filesystem::exists(home + "FILES/quick.qst"));
    for (int row = 0; row < 8; row++)
        EXPECT_EQ(key_matrix[row] | (row == 7 ? 1 : 0), 0xFFu) << "no OSI key but Shift Lock is down, row " << row;
    RAMptr[0x0200] = 0x99;
    send_key(qt->window()->screen_widget(), QEvent::KeyPress, 0x40, "", Qt::Key_F6);
    send_key(qt->window()->screen_widget(), QEvent::KeyRelease, 0x40, "", Qt::Key_F6);
    slices(3);
    EXPECT_EQ(RAMptr[0x0200], 0x42);
}

// A test run in the window: the meter's lines appear, and the screen that was there is back.
TEST_F(Window, SpeedMeterRunsItsTestAndRestoresTheScreen)
{
    for (int i = 0; i < 50 && !screen_shows("C/W/M ?"); i++)
        slices(1);
    std::string shown(reinterpret_cast<char*>(RAMptr) + 0xD000, 0x400);
    uint32_t speed = SpeedPos;
    trigger(CMD_SPEED);
    SpeedWindow* meter = qt->speed_window();
    ASSERT_NE(meter, nullptr);
    EXPECT_EQ(meter->meter()->text(), "no data");
    EXPECT_EQ(meter->bar()->value(), 100) << "the configured speed";
    meter->bar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(SpeedPos, 200u);
    EXPECT_EQ(meter->bar()->value(), 200);
    speed = SpeedPos;
    meter->click(SPD_RUN_TEST);
    EXPECT_EQ(meter->close_button()->text(), "Wait");
    meter->click(SPD_CLOSE);
    for (int i = 0; i < 4000 && SpRun > 0; i++)
        slices(1);
    ASSERT_EQ(SpRun, 0);
    EXPECT_EQ(qt->speed_window(), meter) << "Close was ignored while the test ran";
    EXPECT_EQ(meter->close_button()->text(), "Close");
    EXPECT_TRUE(meter->meter()->text().contains("Memory: ")) << meter->meter()->text().toStdString();
    EXPECT_EQ(std::string(reinterpret_cast<char*>(RAMptr) + 0xD000, 0x400), shown);
    EXPECT_EQ(SpeedPos, speed);
    send_key(meter, QEvent::KeyPress, 0x01, "\x1b", Qt::Key_Escape);  // as its Close button does
    slices(1);
    EXPECT_EQ(qt->speed_window(), nullptr);
    trigger(CMD_SPEED);
    EXPECT_NE(qt->speed_window(), nullptr) << "the menu brings it back";
}

// However a menu closes, the keyboard goes back to the screen, not to the menu bar.
TEST_F(Window, MenuGivesTheKeyboardBack)
{
    QApplication::setActiveWindow(qt->window());
    auto* system = qobject_cast<QMenu*>(qt->window()->action(CMD_SOFT_RESET)->parent());
    ASSERT_NE(system, nullptr);
    qt->window()->menuBar()->setActiveAction(system->menuAction());
    QApplication::processEvents();
    ASSERT_TRUE(system->isVisible());
    send_key(system, QEvent::KeyPress, 0x01, "\x1b", Qt::Key_Escape);
    for (int i = 0; i < 5; i++)
        QApplication::processEvents();
    EXPECT_FALSE(system->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), qt->window()->screen_widget());
    EXPECT_EQ(qt->window()->menuBar()->activeAction(), nullptr);
}

// The screen fills the window at its own aspect: sharp at whole multiples, black around it.
TEST_F(Window, ScreenScalesWithTheWindow)
{
    slices(5);
    ScreenWidget* w = qt->window()->screen_widget();
    const Surface& surface = qt->surface();
    qt->window()->resize(qt->window()->size() + QSize(304, 296));
    QApplication::processEvents();
    ASSERT_EQ(w->size(), QSize(608, 592));
    QImage doubled = w->grab().toImage();
    int differ = 0;
    for (int y = 0; y < surface.height; y++)
        for (int x = 0; x < surface.width; x++)
            differ += (doubled.pixel(2 * x + 1, 2 * y + 1) & 0xFFFFFF) != (surface.pixels[y * surface.width + x] & 0xFFFFFF);
    EXPECT_EQ(differ, 0) << "every pixel twice as large, unsmoothed";

    qt->window()->resize(qt->window()->size() + QSize(400, 0));
    QApplication::processEvents();
    QRectF area = w->shown();
    EXPECT_NEAR(area.height(), 592, 1);
    EXPECT_NEAR(area.x(), 200, 1) << "centred";
    QImage wide = w->grab().toImage();
    EXPECT_EQ(wide.pixel(10, 300) & 0xFFFFFF, 0u) << "black beside the screen";
}

TEST_F(Window, ScreenMenuSetsMarksAndSizes)
{
    trigger(115);
    EXPECT_TRUE(qt->window()->action(115)->isChecked());
    EXPECT_FALSE(qt->window()->action(116)->isChecked());
    EXPECT_EQ(client(), QSize(560, 296));
    trigger(120);
    EXPECT_TRUE(qt->window()->action(120)->isChecked());
    EXPECT_FALSE(qt->window()->action(114)->isChecked());
    EXPECT_EQ(client(), QSize(544, 568));
    trigger(116);
    trigger(114);
    EXPECT_EQ(client(), QSize(304, 296));
    trigger(111);
    EXPECT_FALSE(qt->window()->action(111)->isChecked()) << "the alternate font";
}

TEST_F(Window, SystemMenuResetPauseAndInterrupts)
{
    slices(5);
    trigger(122);
    EXPECT_EQ(DEnable, 1);
    EXPECT_TRUE(qt->window()->action(122)->isChecked());
    trigger(122);
    EXPECT_EQ(DEnable, 0);
    EXPECT_FALSE(qt->window()->action(122)->isChecked());

    trigger(112);
    EXPECT_EQ(IEnable, 1);
    EXPECT_TRUE(qt->window()->action(112)->isChecked());

    qt->window()->action(108)->trigger();
    qt->dispatch_event();  // the reset alone, without a slice after it
    EXPECT_EQ(R.PC, uint32_t(RAMptr[0xFFFC] | RAMptr[0xFFFD] << 8));
    EXPECT_EQ(IEnable, 0) << "a reset switches the interrupts off";
    EXPECT_FALSE(qt->window()->action(112)->isChecked());

    EXPECT_TRUE(qt->window()->action(CMD_SOUND)->isChecked());
    trigger(CMD_SOUND);
    EXPECT_EQ(SoundEnable, 0);
    EXPECT_FALSE(qt->window()->action(CMD_SOUND)->isChecked());
}

// Without an audio device the DAC's sound goes nowhere: the machine keeps its pace, neither
// slower nor waiting, and nothing gathers.
TEST_F(Window, MissingAudioDeviceChangesNothingButTheSound)
{
    audio_open(QAudioDevice());
    EXPECT_EQ(audio_problem(), "no audio output device");
    Board600D = 1;
    build_memory_map();
    const uint8_t square[] = {0xA9, 0x10, 0x8D, 0x00, 0xD8, 0x8D, 0x00, 0xDF, 0x49, 0xFF, 0x4C, 0x05, 0x03};
    std::memcpy(RAMptr + 0x0300, square, sizeof square);  // the DAC on, then toggled as fast as it goes
    R.PC = 0x0300;
    SpeedPos = 100;
    pace_restart();
    uint64_t cycles = cycle_now(), us = host->clock_us();
    slices(6);
    double seconds = double(host->clock_us() - us) / 1e6, emulated = double(cycle_now() - cycles) / 1e6;
    EXPECT_GE(emulated, 0.3);
    EXPECT_GT(seconds, emulated * 0.8) << "paced at the real machine's speed";
    EXPECT_LT(seconds, emulated * 3) << "not held up by the sound";
    EXPECT_EQ(board_control, CONTROL_DAC);
    EXPECT_TRUE(sound_samples.empty());
}

TEST_F(Window, QuitAndCloseEndTheLoop)
{
    qt->window()->action(101)->trigger();
    run_loop();
    EXPECT_EQ(Abort, 0);

    Abort = 1;
    qt->window()->close();
    EXPECT_EQ(Abort, 0) << "closing the window ends the program through the loop";
    EXPECT_TRUE(qt->window()->isVisible());
}

// The About box tells the version that --version tells, and the licence.
TEST_F(Window, AboutNamesTheVersionAndTheLicence)
{
    QProcess version;
    version.start(QUARZEL_PROGRAM_DIR "/quarzel", {"--version"});
    ASSERT_TRUE(version.waitForFinished());
    QString number = QString(version.readAllStandardOutput()).section(' ', 1).trimmed();
    ASSERT_FALSE(number.isEmpty());
    QString shown;
    auto script = script_modals({[&](QWidget* modal) {
        for (QLabel* label : modal->findChildren<QLabel*>())
            shown += label->text();
        QMetaObject::invokeMethod(modal, "accept");
        return true;
    }});
    trigger(CMD_ABOUT);
    EXPECT_TRUE(shown.contains("Version " + number + "\n")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("MIT licence")) << shown.toStdString();
}

} // namespace

// The application lives exactly as long as the tests, on the offscreen platform
// unless another one is asked for.
int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
