// The modeless "Emulation Speed Meter": the meter, the speed adjustment bar and the test.
#pragma once
#include "frontend/qt/dialog_units.h"

#include <QDialog>

#include <deque>
#include <functional>

class QLabel;
class QPushButton;
class QScrollBar;

class SpeedWindow : public QDialog {
public:
    SpeedWindow(QWidget* owner, std::deque<std::function<void()>>& messages);
    // Shows what the speed logic has put into `spd`.
    void show_view();
    void click(int id);
    QScrollBar* bar() const { return adjust; }
    QLabel* meter() const { return field; }
    QPushButton* close_button() const { return close; }

protected:
    void closeEvent(QCloseEvent* e) override;
    // Escape: what the Close button does, not a bare hide.
    void reject() override;

private:
    void scroll(int code);

    DialogUnits dialog_units;
    std::deque<std::function<void()>>& messages;
    QLabel* field;
    QScrollBar* adjust;
    QPushButton* close;
};
