#include "frontend/qt/dialogs.h"

#include "config/config.h"
#include "frontend/commands.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A 6502 in its 40-pin package, 42 x 50 pixels.
QPixmap chip_picture()
{
    QPixmap picture(42, 50);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setPen(QColor(170, 170, 170));
    for (int pin = 0; pin < 8; pin++) {
        p.drawLine(2, 6 + pin * 5, 8, 6 + pin * 5);
        p.drawLine(33, 6 + pin * 5, 39, 6 + pin * 5);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 48));
    p.drawRoundedRect(8, 2, 26, 46, 3, 3);
    p.setBrush(QColor(90, 90, 100));
    p.drawEllipse(18, 4, 6, 6);
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setPixelSize(8);
    p.setFont(font);
    p.drawText(QRect(8, 14, 26, 30), Qt::AlignCenter, "6502");
    return picture;
}

void add_ok(QDialog& dialog, QBoxLayout* layout)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
}

} // namespace

void show_about(QWidget* owner)
{
    QDialog dialog(owner);
    dialog.setWindowTitle("About");
    auto* layout = new QVBoxLayout(&dialog);
    auto* row = new QHBoxLayout;
    auto* picture = new QLabel;
    picture->setPixmap(chip_picture());
    row->addWidget(picture);
    row->addWidget(new QLabel(QString::fromStdString(about_text())));
    layout->addLayout(row);
    add_ok(dialog, layout);
    dialog.exec();
}

// The whole help file is shown; a missing file gives an empty text.
void show_help(QWidget* owner)
{
    QDialog dialog(owner);
    dialog.setWindowTitle("Help Information");
    auto* layout = new QVBoxLayout(&dialog);
    auto* text = new QPlainTextEdit;
    text->setReadOnly(true);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFile file(QString::fromStdString(sztFileHome + "osi.txt"));
    QString help = file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
    text->setPlainText(help);
    // As wide as the longest line, beside the scroll bar and inside the margins.
    int widest = 0;
    for (const QString& line : help.split('\n'))
        widest = std::max(widest, text->fontMetrics().horizontalAdvance(line));
    int margins = 2 * (int(text->document()->documentMargin()) + text->frameWidth()) + 8;
    text->setMinimumSize(widest + margins + text->verticalScrollBar()->sizeHint().width(), 480);
    layout->addWidget(text);
    add_ok(dialog, layout);
    dialog.exec();
}
