// The modal dialog "Read/Write Binary Files": it shows what the memory-file logic has put into
// `mfd` and hands its buttons to that logic at once (the machine stands still meanwhile).
#pragma once
#include "frontend/qt/dialog_units.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

class MemfileDialog : public QDialog {
public:
    explicit MemfileDialog(QWidget* owner);
    void click(int id);

private:
    void add_button(int id, const char* text, int x, int y, int w, int h);
    void show_view();

    DialogUnits dialog_units;
    QLineEdit* start;
    QLineEdit* length;
    QCheckBox* autostart;
    QPlainTextEdit* text;
};

// Runs the dialog; the fields start as the machine's own dialog starts them.
void show_memfile_dialog(QWidget* owner);
