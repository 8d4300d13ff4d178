#include "frontend/qt/qt_host.h"

#include "frontend/commands.h"
#include "debugger/debugger.h"
#include "frontend/qt/debugger_window.h"
#include "frontend/qt/dialogs.h"
#include "frontend/qt/main_window.h"
#include "frontend/qt/memfile_dialog.h"
#include "machine/video.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>

#include <chrono>
#include <thread>

QtHost::QtHost()
{
    timer.start();
    main_surface = {304, 296, std::vector<uint32_t>(304 * 296, 0xFF000000)};
    main_window = std::make_unique<MainWindow>(main_surface, messages);
}

QtHost::~QtHost() = default;

void QtHost::sleep_ms(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Qt's own events (painting, menus, dialogs) all run here; of the window's messages to the
// machine, one is handled.
void QtHost::dispatch_event()
{
    QApplication::processEvents();
    if (messages.empty())
        return;
    std::function<void()> message = std::move(messages.front());
    messages.pop_front();
    message();
}

void QtHost::message_box(const std::string& text, const std::string& caption, MsgIcon icon)
{
    QMessageBox box(icon == MSG_ERROR ? QMessageBox::Critical : QMessageBox::Information,
                    QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
}

void QtHost::show_dialog(int dialog)
{
    if (dialog == 1)
        show_about(main_window.get());
    else if (dialog == 2)
        show_help(main_window.get());
    else if (dialog == 5)
        show_memfile_dialog(main_window.get());
}

std::string QtHost::choose_file(const std::string& folder, int mode, const std::string& name)
{
    QString filters = "OSI Text Types (*.bas *.hex);;"
                      "All Binary (*.img *.bin *.dat *.wav *.rom *.ini);;"
                      "All Files (*)";
    QString start = QString::fromStdString(folder);
    if (!name.empty() && name.find('*') == std::string::npos)
        start = QDir(start).filePath(QString::fromStdString(name));
    QString chosen = mode == 0 ? QFileDialog::getSaveFileName(main_window.get(), QString(), start, filters, nullptr,
                                                              QFileDialog::DontConfirmOverwrite)
                               : QFileDialog::getOpenFileName(main_window.get(), QString(), start, filters);
    return chosen.toStdString();
}

void QtHost::check_menu(int id, bool checked)
{
    if (QAction* a = main_window->action(id))
        a->setChecked(checked);
}

void QtHost::show_menu(bool on) { main_window->menuBar()->setVisible(on); }

void QtHost::post_command(int id)
{
    if (main_window->enabled(id))
        messages.push_back([id] { menu_command(id); });
}

void QtHost::send_command(int id)
{
    if (main_window->enabled(id))
        menu_command(id);
}

// The window opens beside the main window, where it hides nothing of the screen.
// The reason shows in the title when it is more than the plain "Debugger" of the menu.
void QtHost::open_debugger(const std::string& text)
{
    debugger = std::make_unique<DebuggerWindow>(main_window.get(), messages);
    if (text != "Debugger")
        debugger->setWindowTitle(debugger->windowTitle() + " - " + QString::fromStdString(text));
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

void QtHost::repaint(int x, int y, int w, int h) { main_window->screen_widget()->update(x, y, w, h); }

void QtHost::set_client_size(int width, int height)
{
    main_surface.width = width;
    main_surface.height = height;
    main_surface.pixels.assign(size_t(width) * height, 0xFF000000);
    main_window->screen_widget()->surface_resized();
    if (FullscreenEnabled) {
        main_window->showFullScreen();
    } else {
        main_window->showNormal();
        main_window->adjustSize();
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

int QtHost::run_program(const std::vector<std::string>& args, bool wait)
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
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

std::string QtHost::clipboard_text() { return QGuiApplication::clipboard()->text().toStdString(); }

std::string QtHost::temp_dir() { return QDir::tempPath().toStdString(); }
std::string QtHost::current_dir() { return QDir::currentPath().toStdString(); }
