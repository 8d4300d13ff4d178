// The debugger tool window " Debugger & CPU Status": it shows what the debugger logic has put
// into `dbg` and passes its buttons on as messages to the machine.
#pragma once
#include "frontend/qt/dialog_units.h"

#include <QDialog>

#include <deque>
#include <functional>
#include <map>
#include <string>

class QLabel;
class QLineEdit;
class QCheckBox;
class QPlainTextEdit;
class QListWidget;

class DebuggerWindow : public QDialog {
public:
    DebuggerWindow(QWidget* owner, std::deque<std::function<void()>>& messages);
    // Shows the fields of `dbg`.
    void show_view();
    QLabel* label(int id) const { return labels.at(id); }
    QLineEdit* edit(int id) const { return edits.at(id); }
    QListWidget* points() const { return point_list; }
    QPlainTextEdit* text_box(int id) const { return texts.at(id); }
    void click(int id);
    void show_marks();
    void show_points();
    void show_title();
    QString reason;  // what opened the window, when more than the menu

protected:
    void closeEvent(QCloseEvent* e) override;
    // Escape: what the Close button does, not a bare hide.
    void reject() override;

private:
    QLabel* add_label(int id, const char* text, int x, int y, int w, int h);
    QLineEdit* add_edit(int id, int x, int y, int w, int h);
    QLineEdit* add_text_edit(int id, int x, int y, int w, int h);
    QCheckBox* add_toggle(int id, const char* text, int x, int y, int w, int h);
    QPlainTextEdit* add_text(int id, int x, int y, int w, int h);
    void add_button(int id, const char* text, int x, int y, int w, int h);

    DialogUnits dialog_units;
    std::deque<std::function<void()>>& messages;
    std::map<int, QLabel*> labels;
    std::map<int, QLineEdit*> edits;
    std::map<int, QCheckBox*> toggles;
    std::map<int, QPlainTextEdit*> texts;
    std::map<int, std::string> shown;  // the texts the blocks hold, with their line ends
    QListWidget* point_list;
};
