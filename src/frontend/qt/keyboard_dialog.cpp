#include "frontend/qt/keyboard_dialog.h"

#include "frontend/keyboard_editor.h"
#include "frontend/qt/scancode.h"
#include "host/ids.h"

#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

namespace {

// The grid's cells are 16 dialog units square at a pitch of 18, from (8, 20).
const int GRID_X = 8, GRID_Y = 20, CELL = 16, PITCH = 18;

void label(QWidget* parent, const char* caption, QRect where) { (new QLabel(caption, parent))->setGeometry(where); }

// The largest small font in which every word of every legend fits a cell.
QFont legend_font(const QFont& base, int width)
{
    QFont font = base;
    for (int px = 10; px > 6; px--) {
        font.setPixelSize(px);
        QFontMetrics metrics(font);
        bool fits = true;
        for (const auto& row : matrix_legends)
            for (const char* legend : row)
                for (const QString& word : QString(legend).split(' '))
                    fits = fits && metrics.horizontalAdvance(word) <= width - 2;
        if (fits)
            break;
    }
    return font;
}

} // namespace

MatrixGrid::MatrixGrid(QWidget* parent, const DialogUnits& units) : QWidget(parent)
{
    QRect first = units(GRID_X, GRID_Y, CELL, CELL);
    QRect second = units(GRID_X + PITCH, GRID_Y + PITCH, CELL, CELL);
    pitch = QSize(second.x() - first.x(), second.y() - first.y());
    size_of_cell = first.size();
    setGeometry(first.x(), first.y(), pitch.width() * 7 + first.width(), pitch.height() * 7 + first.height());
    setFont(legend_font(font(), first.width()));
}

QRect MatrixGrid::cell(int row, int column) const
{
    return QRect(QPoint(column * pitch.width(), row * pitch.height()), size_of_cell);
}

QPoint MatrixGrid::centre(int row, int column) const { return cell(row, column).center(); }

void MatrixGrid::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    for (int r = 0; r < 8; r++)
        for (int c = 0; c < 8; c++) {
            bool selected = OSICol == c && OSIRow == r;
            QRect box = cell(r, c);
            painter.fillRect(box, selected ? palette().highlight() : palette().base());
            painter.setPen(palette().color(QPalette::Mid));
            painter.drawRect(box.adjusted(0, 0, -1, -1));
            painter.setPen(selected ? palette().color(QPalette::HighlightedText) : palette().color(QPalette::Text));
            painter.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, matrix_legends[r][c]);
        }
}

void MatrixGrid::mousePressEvent(QMouseEvent* e)
{
    int row, column;
    QPoint p = e->position().toPoint();
    grid_cell(p.x(), p.y(), 0, 0, pitch.width(), pitch.height(), row, column);
    static_cast<KeyboardDialog*>(parentWidget())->cell_click(e, row, column);
}

void KeyboardDialog::cell_click(QMouseEvent* e, int row, int column)
{
    if (e->modifiers() != Qt::NoModifier || e->buttons() != e->button())
        return;
    if (e->button() == Qt::LeftButton)
        keyboard_left_click(row, column);
    else if (e->button() == Qt::RightButton)
        keyboard_right_click(row, column);
    show_view();
}

KeyboardDialog::KeyboardDialog(QWidget* owner) : QDialog(owner), dialog_units(font())
{
    setWindowTitle("Keyboard Matrix Editor");
    setFixedSize(dialog_units(0, 0, 254, 210).size());
    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setGeometry(dialog_units(4, 6, 158, 160));
    label(this, "COLUMN          +", dialog_units(GRID_X, 9, 100, 8));
    for (int i = 0; i < 3; i++)
        label(this, i == 0 ? "R" : i == 1 ? "O" : "W", dialog_units(152, 74 + 10 * i, 8, 8));
    matrix = new MatrixGrid(this, dialog_units);

    (new QGroupBox("CURSOR", this))->setGeometry(dialog_units(168, 6, 82, 64));
    add_button(KED_UP, "UP", 191, 18, 36, 14);
    add_button(KED_LEFT, "LEFT", 172, 34, 36, 14);
    add_button(KED_RIGHT, "RIGHT", 210, 34, 36, 14);
    add_button(KED_DOWN, "DOWN", 191, 50, 36, 14);
    (new QGroupBox("SPECIAL", this))->setGeometry(dialog_units(168, 76, 82, 64));
    add_button(KED_INSERT, "Insert", 172, 88, 36, 14);
    add_button(KED_DELETE, "Delete", 210, 88, 36, 14);
    add_button(KED_HOME, "Home", 172, 104, 36, 14);
    add_button(KED_END, "End", 210, 104, 36, 14);
    add_button(KED_TAB, "TAB", 191, 120, 36, 14);

    (new QGroupBox("Mapping Info", this))->setGeometry(dialog_units(4, 170, 158, 34));
    message = field(dialog_units(8, 182, 80, 14));
    label(this, "MAP Key", dialog_units(92, 185, 30, 8));
    pc_key = field(dialog_units(122, 182, 36, 14));
    add_button(KED_SAVE, "Save", 172, 168, 76, 14);
    add_button(KED_CANCEL, "Cancel", 172, 188, 76, 14);

    keyboard_open();
    show_view();
    qApp->installEventFilter(this);
}

void KeyboardDialog::add_button(int id, const char* caption, int x, int y, int w, int h)
{
    auto* b = new QPushButton(caption, this);
    b->setGeometry(dialog_units(x, y, w, h));
    b->setAutoDefault(false);  // Return may be the key that is being mapped
    b->setFocusPolicy(Qt::NoFocus);
    connect(b, &QPushButton::clicked, [this, id] { click(id); });
}

QLineEdit* KeyboardDialog::field(QRect where)
{
    auto* f = new QLineEdit(this);
    f->setGeometry(where);
    f->setEnabled(false);
    return f;
}

void KeyboardDialog::click(int id)
{
    if (id == KED_SAVE) {
        keyboard_save();
        done(1);
    } else if (id == KED_CANCEL) {
        reject();
    } else {
        keyboard_button(id);
        show_view();
    }
}

void KeyboardDialog::reject()
{
    done(1);
    keyboard_cancel();
}

void KeyboardDialog::show_view()
{
    message->setText(QString::fromStdString(ked.message));
    pc_key->setText(QString::fromStdString(ked.pc_key));
    matrix->update();
}

// While a cell is selected every key press, whichever widget would get it, is the PC key to
// map: it reaches neither a button nor a shortcut.
bool KeyboardDialog::eventFilter(QObject*, QEvent* e)
{
    if (OSICol < 0 || (e->type() != QEvent::KeyPress && e->type() != QEvent::ShortcutOverride))
        return false;
    auto* k = static_cast<QKeyEvent*>(e);
    if (e->type() == QEvent::ShortcutOverride) {
        e->accept();
        return true;
    }
    int code = set1_scan_code(k->nativeScanCode());
    if (!k->isAutoRepeat() && code) {
        keyboard_key(code);
        show_view();
    }
    return true;
}

void KeyboardDialog::mousePressEvent(QMouseEvent* e) { cell_click(e, -1, -1); }

void show_keyboard_dialog(QWidget* owner)
{
    KeyboardDialog dialog(owner);
    dialog.exec();
}
