#include "frontend/qt/memfile_dialog.h"

#include "debugger/memfile.h"
#include "host/ids.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

void label(QWidget* parent, const char* caption, QRect where) { (new QLabel(caption, parent))->setGeometry(where); }

} // namespace

MemfileDialog::MemfileDialog(QWidget* owner) : QDialog(owner), dialog_units(font())
{
    setWindowTitle("Read/Write Binary Files");
    setFixedSize(dialog_units(0, 0, 181, 171).size());
    (new QGroupBox("Save to File as", this))->setGeometry(dialog_units(4, 39, 62, 88));
    (new QGroupBox("Read from File", this))->setGeometry(dialog_units(4, 134, 62, 33));
    label(this, "Memory    StartAdr: 0x", dialog_units(5, 7, 75, 8));
    start = hex_edit(this, dialog_units(80, 5, 28, 12));
    label(this, "Length: 0x", dialog_units(43, 21, 37, 8));
    length = hex_edit(this, dialog_units(80, 19, 28, 12));
    add_button(MF_CLOSE, "Close", 127, 4, 50, 14);
    add_button(MF_DISPLAY, "Display code", 127, 22, 50, 14);
    label(this, "6502 Instruction", dialog_units(70, 33, 60, 8));
    text = new QPlainTextEdit(this);
    text->setGeometry(dialog_units(68, 43, 109, 124));
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(11);
    text->setFont(fixed);
    add_button(MF_SAVE_BINARY, "BINARY", 8, 52, 54, 14);
    add_button(MF_SAVE_CODE, "6502 CODE", 8, 72, 54, 14);
    add_button(MF_SAVE_TAPE, "OSI Tape BIN", 8, 93, 54, 14);
    autostart = new QCheckBox("OSI Autostart", this);
    autostart->setGeometry(dialog_units(8, 112, 57, 12));
    connect(autostart, &QCheckBox::clicked, [this] { click(MF_AUTOSTART); });
    add_button(MF_READ_BINARY, "BINARY", 8, 147, 54, 14);
    show_view();
}

void MemfileDialog::add_button(int id, const char* caption, int x, int y, int w, int h)
{
    auto* b = new QPushButton(caption, this);
    b->setGeometry(dialog_units(x, y, w, h));
    b->setDefault(id == MF_CLOSE);
    connect(b, &QPushButton::clicked, [this, id] { click(id); });
}

void MemfileDialog::click(int id)
{
    if (id == MF_CLOSE) {
        accept();
        return;
    }
    mfd.start = start->text().toStdString();
    mfd.length = length->text().toStdString();
    memfile_command(id);
    show_view();
}

void MemfileDialog::show_view()
{
    start->setText(QString::fromStdString(mfd.start));
    length->setText(QString::fromStdString(mfd.length));
    autostart->setChecked(mfd.autostart);
    text->setPlainText(QString::fromStdString(mfd.text).remove('\r'));
}

void show_memfile_dialog(QWidget* owner)
{
    mfd.start = "0000";
    mfd.length.clear();
    mfd.autostart = true;
    mfd.text.clear();
    MemfileDialog dialog(owner);
    dialog.exec();
}
