#include "frontend/qt/qt_host.h"

#include "debugger/debugger.h"
#include "frontend/commands.h"
#include "frontend/qt/audio_out.h"
#include "frontend/qt/debugger_window.h"
#include "frontend/qt/dialogs.h"
#include "frontend/qt/kcs_dialog.h"
#include "frontend/qt/keyboard_dialog.h"
#include "frontend/qt/main_window.h"
#include "frontend/qt/memfile_dialog.h"
#include "frontend/qt/speed_window.h"
#include "frontend/speed.h"
#include "host/ids.h"
#include "machine/loop.h"
#include "machine/video.h"

#include <QAction>
#include <QApplication>
#include <QAudioDevice>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QMediaDevices>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>

#include <algorithm>
#include <chrono>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#include <timeapi.h>
#endif

QtHost::QtHost()
{
    timer.start();
    main_surface = {304, 296, std::vector<uint32_t>(304 * 296, 0xFF000000)};
    main_window = std::make_unique<MainWindow>(main_surface, messages);
    audio_open(QMediaDevices::defaultAudioOutput());
    if (!audio_problem().empty())
        main_window->action(CMD_SOUND)->setText("S&ound (" + QString::fromStdString(audio_problem()) + ")");
}

QtHost::~QtHost() { audio_close(); }

// The sound device is topped up while the machine waits for real time.
void QtHost::sleep_us(uint64_t us)
{
    for (uint64_t now = clock_us(), end = now + us; now < end; now = clock_us()) {
        audio_feed();
        std::this_thread::sleep_for(std::chrono::microseconds(std::min<uint64_t>(end - now, 5000)));
    }
}

// Qt's own events (painting, menus, dialogs) all run here, then the window's messages to the
// machine that were waiting; those they post wait for the next call. In warp, slices follow
// each other without a pause, and Qt's events are handled about 50 times a second.
void QtHost::dispatch_event()
{
    audio_feed();
    if (!warp() || timer.nsecsElapsed() - processed_at >= 20000000) {
        processed_at = timer.nsecsElapsed();
        QApplication::processEvents();
    }
    std::deque<std::function<void()>> now;
    now.swap(messages);
    inputs += !now.empty();
    for (auto& message : now)
        message();
}

void QtHost::message_box(const std::string& text, const std::string& caption, MsgIcon icon)
{
    QMessageBox box(icon == MSG_ERROR ? QMessageBox::Critical : QMessageBox::Information,
                    QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
}

bool QtHost::ask(const std::string& text, const std::string& caption)
{
    QMessageBox box(QMessageBox::Question, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void QtHost::show_dialog(int dialog)
{
    switch (dialog) {
    case DLG_ABOUT: show_about(main_window.get()); break;
    case DLG_HELP: show_help(main_window.get()); break;
    case DLG_BINARY_FILES: show_memfile_dialog(main_window.get()); break;
    case DLG_KEYBOARD: show_keyboard_dialog(main_window.get()); break;
    default: break;
    }
}

bool QtHost::kcs_dialog() { return run_kcs_dialog(main_window.get()); }

namespace {

// The caller's wildcard first (a plain file name stands for its extension), then the
// OSI text files and all files. A name typed without an extension gets the wildcard's.
void set_filters(QFileDialog& dialog, const std::string& name)
{
    QString pattern = QString::fromStdString(name);
    QString extension = pattern.section('.', -1);
    if (!pattern.contains('*') && pattern.contains('.'))
        pattern = "*." + extension;
    QStringList filters;
    if (pattern.startsWith("*.") && pattern != "*.*") {
        filters << extension.toUpper() + " files (" + pattern.toLower() + " " + pattern.toUpper() + ")";
        dialog.setDefaultSuffix(extension);
    }
    if (pattern != "*.bas")
        filters << "OSI text files (*.bas *.hex *.BAS *.HEX)";
    filters << "All files (*)";
    dialog.setNameFilters(filters);
}

} // namespace

std::string QtHost::choose_file(const std::string& folder, int mode, const std::string& name)
{
    QFileDialog dialog(main_window.get());
    dialog.setAcceptMode(mode == 0 ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(mode == 0 ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDirectory(QString::fromStdString(folder));
    set_filters(dialog, name);
    if (!name.empty() && name.find('*') == std::string::npos)
        dialog.selectFile(QString::fromStdString(name));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return "";
    return dialog.selectedFiles().first().toStdString();
}

void QtHost::check_menu(int id, bool checked)
{
    if (QAction* a = main_window->action(id))
        a->setChecked(checked);
}

void QtHost::show_menu(bool on) { main_window->menuBar()->setVisible(on); }

void QtHost::post_command(int id)
{
    messages.push_back([id] { menu_command(id); });
}

void QtHost::send_command(int id) { menu_command(id); }

// The window opens beside the main window, where it hides nothing of the screen.
// The reason shows in the title when it is more than the plain "Debugger" of the menu; a halt
// shows there while it lasts.
void QtHost::open_debugger(const std::string& text)
{
    debugger = std::make_unique<DebuggerWindow>(main_window.get(), messages);
    if (text != "Debugger" && text != halt_text())
        debugger->reason = QString::fromStdString(text);
    debugger->show_title();
    QRect frame = main_window->frameGeometry();
    debugger->move(frame.right() + 8, frame.top());
    debugger->show();
}

void QtHost::refresh_debugger() { debugger->show_view(); }

void QtHost::close_debugger()
{
    debugger.reset();
    debugger_closed();
}

// The meter opens beside the main window, under the debugger's place.
void QtHost::open_speed()
{
    speed_open();
    speed = std::make_unique<SpeedWindow>(main_window.get(), messages);
    QRect frame = main_window->frameGeometry();
    speed->move(frame.right() + 8, frame.top() + frame.height() / 2);
    speed->show();
}

void QtHost::refresh_speed() { speed->show_view(); }

void QtHost::close_speed()
{
    speed.reset();
    speed_closed();
}

// Windows sleeps in whole ticks of the system timer (15.6 ms unless raised), too coarse for
// slices of 1.5 ms at 400 %; elsewhere sleeps are fine-grained already.
bool QtHost::fine_timer(bool on)
{
#ifdef _WIN32
    if (!on) {
        if (fine_period)
            timeEndPeriod(fine_period);
        fine_period = 0;
        return true;
    }
    TIMECAPS caps;
    if (fine_period || timeGetDevCaps(&caps, sizeof caps) != MMSYSERR_NOERROR)
        return fine_period != 0;
    UINT period = std::max<UINT>(caps.wPeriodMin, 1);
    if (timeBeginPeriod(period) != TIMERR_NOERROR)
        return false;
    fine_period = period;
    return true;
#else
    (void)on;
    return true;
#endif
}

void QtHost::repaint(int x, int y, int w, int h) { main_window->screen_widget()->show_area(x, y, w, h); }

void QtHost::set_client_size(int width, int height)
{
    main_surface.width = width;
    main_surface.height = height;
    main_surface.pixels.assign(size_t(width) * height, 0xFF000000);
    main_window->screen_widget()->surface_resized();
    if (FullscreenEnabled) {
        main_window->setGeometry(QGuiApplication::primaryScreen()->geometry());  // also without a window manager
        main_window->showFullScreen();
    } else {
        main_window->showNormal();
        main_window->resize(main_window->sizeHint());
    }
}

// The window's paint handler redraws every text cell.
void QtHost::invalidate()
{
    restvid();
    main_window->screen_widget()->update();
}

int QtHost::desktop_width() { return QGuiApplication::primaryScreen()->geometry().width(); }
int QtHost::desktop_height() { return QGuiApplication::primaryScreen()->geometry().height(); }

int QtHost::run_program(const std::vector<std::string>& args, bool wait, const std::string& errors)
{
    if (args.empty())
        return -1;
    QStringList arguments;
    for (size_t i = 1; i < args.size(); i++)
        arguments << QString::fromStdString(args[i]);
    QString program = QString::fromStdString(args[0]);
    if (!wait)
        return QProcess::startDetached(program, arguments) ? 0 : -1;
    QProcess process;
    if (!errors.empty())
        process.setStandardErrorFile(QString::fromStdString(errors));
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

std::string QtHost::clipboard_text() { return QGuiApplication::clipboard()->text().toStdString(); }

std::string QtHost::temp_dir() { return QDir::tempPath().toStdString(); }
std::string QtHost::current_dir() { return QDir::currentPath().toStdString(); }
