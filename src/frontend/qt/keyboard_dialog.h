// The modal "Keyboard Matrix Editor": the OSI matrix as a grid of key legends, the special-key
// buttons and the two fields. Clicks and key presses go to the editor's logic at once.
#pragma once
#include "frontend/qt/dialog_units.h"

#include <QDialog>

class QLineEdit;

// The 8 x 8 cells; a click names its cell by the grid's own pitch.
class MatrixGrid : public QWidget {
public:
    MatrixGrid(QWidget* parent, const DialogUnits& units);
    // The centre of cell (row, column), in the grid's pixels.
    QPoint centre(int row, int column) const;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    QRect cell(int row, int column) const;
    QSize pitch;
    QSize size_of_cell;
};

class KeyboardDialog : public QDialog {
public:
    explicit KeyboardDialog(QWidget* owner);
    MatrixGrid* grid() const { return matrix; }
    void click(int id);
    // Shows what the logic has put into its view.
    void show_view();
    // Cancel, Esc and the title bar's close button all throw the edits away.
    void reject() override;
    // A left or right click with no other button or modifier held goes to the editor: on a
    // cell, or beside the grid (row and column -1), which ends a selection.
    void cell_click(QMouseEvent* e, int row, int column);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    void add_button(int id, const char* text, int x, int y, int w, int h);
    QLineEdit* field(QRect where);

    DialogUnits dialog_units;
    MatrixGrid* matrix;
    QLineEdit* message;
    QLineEdit* pc_key;
};

void show_keyboard_dialog(QWidget* owner);
