// The main window: the emulated screen, the menu bar and the key events.
#pragma once
#include "host/host.h"

#include <QImage>
#include <QMainWindow>
#include <QWidget>

#include <deque>
#include <functional>
#include <map>

class QAction;

// Shows the main window's pixel surface and turns key events into pending key messages.
class ScreenWidget : public QWidget {
public:
    ScreenWidget(Surface& surface, std::deque<std::function<void()>>& messages);
    void surface_resized();
    // Repaints the part of the widget that shows this rectangle of the surface.
    void show_area(int x, int y, int w, int h);
    QSize sizeHint() const override;
    QRectF shown() const;

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    bool focusNextPrevChild(bool) override { return false; }

private:
    void key(QKeyEvent* e, uint32_t release);

    Surface& surface;
    std::deque<std::function<void()>>& messages;
    QImage image;
};

class MainWindow : public QMainWindow {
public:
    // Messages (menu commands and key events) wait in `messages` for the emulation loop.
    MainWindow(Surface& surface, std::deque<std::function<void()>>& messages);

    QAction* action(int id) const;
    ScreenWidget* screen_widget() const { return screen; }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void build_menu();

    ScreenWidget* screen;
    std::deque<std::function<void()>>& messages;
    std::map<int, QAction*> actions;
};

// Releases every OSI key (focus lost, a menu opening).
void release_all_keys();
