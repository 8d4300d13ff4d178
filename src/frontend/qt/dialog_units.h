// Tool windows are laid out in dialog units: a quarter of the dialog font's average
// character across (with room for digits, which are wider than the average), an eighth of
// its height down.
#pragma once
#include <QFont>
#include <QFontMetricsF>
#include <QRect>

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font)
    {
        QFontMetricsF metrics(font);
        across = metrics.averageCharWidth() * 1.2 / 4;
        down = metrics.height() / 8;
    }
    QRect operator()(int x, int y, int w, int h) const
    {
        return QRect(int(x * across), int(y * down), int(w * across), int(h * down));
    }

private:
    double across, down;
};

class QLineEdit;
class QWidget;

// An address field: up to four hex digits, in capitals.
QLineEdit* hex_edit(QWidget* parent, QRect where);
