#include "frontend/qt/main_window.h"

#include "cpu/bus.h"
#include "frontend/commands.h"
#include "frontend/qt/scancode.h"
#include "host/ids.h"
#include "machine/keyboard.h"
#include "machine/loop.h"
#include "machine/tape.h"
#include "machine/video.h"
#include "machine/window_keys.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMenuBar>
#include <QPainter>
#include <QTimer>

#include <cmath>

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
     {{CMD_OPEN_FILES, "&Open Files...        F10", false},
      {CMD_SAVE_FILES, "&Save Files as...    F9", false},
      {CMD_CLOSE_SAVED, "&Close Saved Files", false},
      {CMD_BINARY_FILES, "OSI &Binary File Format...", false},
      {CMD_CONVERT_KCS, "&Convert KCS Wave Files...", false},
      {CMD_NEW_DISK, "&New Diskette...", false},
      {CMD_SAVE_STATE, "Save S&tate...", false},
      {CMD_LOAD_STATE, "Loa&d State...", false},
      {CMD_PASTE_TEXT, "&Paste Text", false},
      {CMD_QUIT, "&Quit", false}}},
    {"&Screen",
     {{CMD_SMALL_FONTS, "&Small Size Fonts", true},
      {CMD_DOUBLE_FONTS, "&Double Size Fonts", false},
      {CMD_32X32, "&32x32 Display Format", true},
      {CMD_64X32, "&64x32 Display Format", false},
      {CMD_GAME_FONT, "&Select Game Font", true},
      {CMD_TINT_WHITE, "&White Screen", true},
      {CMD_TINT_GREEN, "G&reen Screen", false},
      {CMD_TINT_AMBER, "&Amber Screen", false},
      {CMD_FULLSCREEN, "&Fullscreen          F4", false},
      {CMD_GRAPHIC_MODE, "&Graphic Mode    F8", false}}},
    {"&System",
     {{CMD_SOFT_RESET, "&Soft Reset     F12", false},
      {CMD_HARD_RESET, "&Hard Reset", false},
      {CMD_LOAD_CONFIG, "&Load Config File", false},
      {CMD_EDIT_CONFIG, "&Edit Config File", false},
      {CMD_CONFIG_KEYBOARD, "&Config Keyboard", false},
      {CMD_DEBUGGER, "&Debugger...    F11", false},
      {CMD_PAUSE, "&Pause              F7", false},
      {CMD_INT_ENABLE, "&INT Enable", false},
      {CMD_SPEED, "&Emulation Speed", false},
      {CMD_WARP, "&Warp Speed", false},
      {CMD_FAST_LOAD, "&Fast Tape Loading", true},
      {CMD_SOUND, "S&ound", true},
      {CMD_PROTECT_A, "Protect Drive &A", false},
      {CMD_PROTECT_B, "Protect Drive &B", false},
      {CMD_TRANSLATE_KEYS, "&Translate PC Keys", false}}},
    {"&Help", {{CMD_HELP, "&Help Information", false}, {CMD_ABOUT, "&About Quarzel...", false}}},
};

// Items that carry a check mark.
const int checkable[] = {CMD_SMALL_FONTS,  CMD_DOUBLE_FONTS, CMD_32X32, CMD_64X32,      CMD_GAME_FONT,     CMD_FULLSCREEN,
                         CMD_GRAPHIC_MODE, CMD_DEBUGGER,     CMD_PAUSE, CMD_INT_ENABLE, CMD_TRANSLATE_KEYS,
                         CMD_WARP,         CMD_FAST_LOAD,    CMD_PROTECT_A, CMD_PROTECT_B,  CMD_SOUND,
                         CMD_TINT_WHITE,   CMD_TINT_GREEN,   CMD_TINT_AMBER};

} // namespace

// The window outlives the machine at shut-down, when there is nothing left to release.
void release_all_keys()
{
    if (RAMptr)
        window_keys_let_go();
}

ScreenWidget::ScreenWidget(Surface& surface, std::deque<std::function<void()>>& messages)
    : surface(surface), messages(messages)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAcceptDrops(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    surface_resized();
}

void ScreenWidget::surface_resized()
{
    image = QImage(reinterpret_cast<const uchar*>(surface.pixels.data()), surface.width, surface.height,
                   surface.width * 4, QImage::Format_RGB32);
    setMinimumSize(surface.width / 4, surface.height / 4);
    updateGeometry();
    update();
}

QSize ScreenWidget::sizeHint() const { return {surface.width, surface.height}; }

// The surface as large as the widget allows at its own aspect, centred.
QRectF ScreenWidget::shown() const
{
    double scale = std::min(double(width()) / surface.width, double(height()) / surface.height);
    double w = surface.width * scale, h = surface.height * scale;
    return {(width() - w) / 2, (height() - h) / 2, w, h};
}

void ScreenWidget::show_area(int x, int y, int w, int h)
{
    QRectF area = shown();
    double scale = area.width() / surface.width;
    update(QRectF(area.x() + x * scale, area.y() + y * scale, w * scale, h * scale).toAlignedRect().adjusted(-1, -1, 1, 1));
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

// Whole multiples stay sharp; sizes in between are smoothed. The rest of the widget is black.
void ScreenWidget::paintEvent(QPaintEvent* e)
{
    QPainter painter(this);
    QRectF area = shown();
    double scale = area.width() / surface.width;
    painter.fillRect(e->rect(), Qt::black);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, scale != std::floor(scale));
    painter.drawImage(area, image);
}

// The character a key gives on the desktop's layout, 0 for none; with Ctrl, the letter.
static char key_character(const QKeyEvent* e)
{
    if ((e->modifiers() & Qt::ControlModifier) && e->key() >= Qt::Key_A && e->key() <= Qt::Key_Z)
        return char('a' + (e->key() - Qt::Key_A));
    QString text = e->text();
    if (text.size() != 1)
        return 0;
    char16_t c = text[0].unicode();
    return (c == '\r' || (c >= 0x20 && c < 0x7F)) ? char(c) : 0;
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
    messages.push_back([scan = code | release, c = release ? 0 : key_character(e),
                        ctrl = bool(e->modifiers() & Qt::ControlModifier)] { window_key(scan, c, ctrl); });
}

void ScreenWidget::keyPressEvent(QKeyEvent* e) { key(e, 0); }
void ScreenWidget::keyReleaseEvent(QKeyEvent* e) { key(e, 0x80); }

void ScreenWidget::focusOutEvent(QFocusEvent*) { release_all_keys(); }

void ScreenWidget::dragEnterEvent(QDragEnterEvent* e)
{
    if (e->mimeData()->hasUrls() && e->mimeData()->urls().first().isLocalFile())
        e->acceptProposedAction();
}

// A dropped file becomes the tape input, as F10 would open it.
void ScreenWidget::dropEvent(QDropEvent* e)
{
    std::string path = e->mimeData()->urls().first().toLocalFile().toStdString();
    messages.push_back([path] {
        if (!tape_open_input(path))
            host->message_box("Unable to open the tape input file " + path, "ERROR Message", MSG_ERROR);
    });
    e->acceptProposedAction();
}

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
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
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
        // However the menu closed (a choice, Esc, a click elsewhere), the next key belongs to
        // the OSI again, not to the menu bar.
        connect(menu, &QMenu::aboutToHide, this, [this] { QTimer::singleShot(0, screen, [this] { screen->setFocus(); }); });
        for (const MenuItem& item : m.items) {
            QAction* a = menu->addAction(item.text);
            a->setCheckable(std::find(std::begin(checkable), std::end(checkable), item.id) != std::end(checkable));
            a->setChecked(item.checked);
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


// Closing ends the program through the loop, which closes the tool windows first.
void MainWindow::closeEvent(QCloseEvent* e)
{
    e->ignore();
    Abort = 0;
}
