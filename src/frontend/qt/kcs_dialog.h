// The modal "KCS Parameter Setup" dialog: the decoding parameters and the decoded file.
#pragma once
#include "frontend/qt/dialog_units.h"
#include "host/ids.h"

#include <QDialog>

#include <map>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QScrollBar;

class KcsDialog : public QDialog {
public:
    explicit KcsDialog(QWidget* owner);
    // A toggle, a radio button or "...." (KcsControl ids), as a click on it.
    void click(int control);
    QAbstractButton* button(int control) const { return buttons.at(control); }
    QScrollBar* bar(int control) const { return control == KCS_FREQUENCY ? frequency : hysteresis; }
    QLabel* value(int control) const { return control == KCS_FREQUENCY ? frequency_value : hysteresis_value; }

private:
    void add_button(int control, QAbstractButton* b, QRect where);
    QScrollBar* add_bar(int control, const char* caption, int low, int high, int y, QLabel*& value);
    void show_view();

    DialogUnits dialog_units;
    std::map<int, QAbstractButton*> buttons;
    QScrollBar* frequency;
    QScrollBar* hysteresis;
    QLabel* frequency_value;
    QLabel* hysteresis_value;
    QLineEdit* output;
};

// True for OK; Cancel and the title bar's close button give false.
bool run_kcs_dialog(QWidget* owner);
