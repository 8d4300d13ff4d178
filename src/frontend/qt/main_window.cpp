#include "frontend/qt/main_window.h"

#include "cpu/bus.h"
#include "cpu/loop.h"
#include "frontend/commands.h"
#include "frontend/qt/scancode.h"
#include "machine/keyboard.h"
#include "machine/video.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPainter>

namespace {

struct MenuItem {
    int id;
    const char* text;
    bool checked;
};

const struct {
    const char* title;
    std::vector<MenuItem> items;
} menus[] = {
    {"&File",
     {{103, "&Open Files...        F10", false},
      {105, "&Save Files as...    F9", false},
      {124, "&Close Saved Files", false},
      {106, "OSI &Binary File Format...", false},
      {123, "&Convert KCS Wave Files...", false},
      {101, "&Quit", false}}},
    {"&Screen",
     {{114, "&Small Size Fonts", true},
      {120, "&Double Size Fonts", false},
      {116, "&32x32 Display Format", true},
      {115, "&64x32 Display Format", false},
      {111, "&Select Game Font", true},
      {125, "&Fullscreen          F4", false},
      {119, "&Graphic Mode    F8", false}}},
    {"&System",
     {{108, "&Soft Reset     F12", false},
      {113, "&Hard Reset", false},
      {121, "&Load Config File", false},
      {110, "&Edit Config File", false},
      {118, "&Config Keyboard", false},
      {109, "&Debugger...    F11", false},
      {122, "&Pause              F7", false},
      {112, "&INT Enable", false},
      {117, "&Emulation Speed", false}}},
    {"&Help", {{107, "&Help Information", false}, {102, "&About Quarzel...", false}}},
};

// Items that carry a check mark.
const int checkable[] = {114, 120, 116, 115, 111, 125, 119, 109, 122, 112};
// The tool windows that come later.
const int not_yet[] = {106, 123, 118, 109, 117};

} // namespace

// The window outlives the machine at shut-down, when there is nothing left to release.
void release_all_keys()
{
    if (!RAMptr)
        return;
    CIA_Clear();
    gScan = 0;
}

ScreenWidget::ScreenWidget(Surface& surface, std::deque<std::function<void()>>& messages)
    : surface(surface), messages(messages)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    surface_resized();
}

void ScreenWidget::surface_resized()
{
    image = QImage(reinterpret_cast<const uchar*>(surface.pixels.data()), surface.width, surface.height,
                   surface.width * 4, QImage::Format_RGB32);
    setFixedSize(surface.width, surface.height);
    update();
}

// Keys never become shortcuts or menu mnemonics: they all belong to the emulated keyboard.
bool ScreenWidget::event(QEvent* e)
{
    if (e->type() == QEvent::ShortcutOverride) {
        e->accept();
        return true;
    }
    return QWidget::event(e);
}

void ScreenWidget::paintEvent(QPaintEvent* e)
{
    QPainter painter(this);
    painter.drawImage(e->rect(), image, e->rect());
}

// Held keys stay down in the matrix; the ROM's own auto-repeat does the rest, so the
// window system's repeated events are dropped.
void ScreenWidget::key(QKeyEvent* e, uint32_t release)
{
    if (e->isAutoRepeat())
        return;
    int code = set1_scan_code(e->nativeScanCode());
    if (code == 0)
        return;
    messages.push_back([event = code + release] { gScan = irqkey = event; });
}

void ScreenWidget::keyPressEvent(QKeyEvent* e) { key(e, 0); }
void ScreenWidget::keyReleaseEvent(QKeyEvent* e) { key(e, 0x80); }

void ScreenWidget::focusOutEvent(QFocusEvent*) { release_all_keys(); }

// In full-screen mode the menu bar shows while the mouse is in the top 9 pixel rows.
void ScreenWidget::mouseMoveEvent(QMouseEvent* e)
{
    if (FullscreenEnabled)
        ShowMenu(e->position().y() <= 8 ? 1 : 0);
}

MainWindow::MainWindow(Surface& surface, std::deque<std::function<void()>>& messages)
    : messages(messages)
{
    setWindowTitle("Quarzel Emulator");
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    screen = new ScreenWidget(surface, messages);
    setCentralWidget(screen);
    build_menu();
    screen->setFocus();
}

void MainWindow::build_menu()
{
    for (const auto& m : menus) {
        QMenu* menu = menuBar()->addMenu(m.title);
        connect(menu, &QMenu::aboutToShow, [] { release_all_keys(); });
        for (const MenuItem& item : m.items) {
            QAction* a = menu->addAction(item.text);
            a->setCheckable(std::find(std::begin(checkable), std::end(checkable), item.id) != std::end(checkable));
            a->setChecked(item.checked);
            a->setEnabled(std::find(std::begin(not_yet), std::end(not_yet), item.id) == std::end(not_yet));
            int id = item.id;
            // The mark follows the machine's state, not the click.
            connect(a, &QAction::triggered, [this, a, id] {
                a->setChecked(!a->isChecked());
                messages.push_back([id] { menu_command(id); });
            });
            actions[item.id] = a;
        }
    }
}

QAction* MainWindow::action(int id) const
{
    auto a = actions.find(id);
    return a == actions.end() ? nullptr : a->second;
}

bool MainWindow::enabled(int id) const
{
    QAction* a = action(id);
    return !a || a->isEnabled();
}

// Closing ends the program through the loop, which closes the tool windows first.
void MainWindow::closeEvent(QCloseEvent* e)
{
    e->ignore();
    Abort = 0;
}
