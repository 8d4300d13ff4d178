#include "frontend/qt/kcs_dialog.h"

#include "cassette/kcs_setup.h"
#include "cassette/wave.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

namespace {

int scroll_code(int action)
{
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: return SCROLL_LINE_LEFT;
    case QAbstractSlider::SliderSingleStepAdd: return SCROLL_LINE_RIGHT;
    default: return SCROLL_OTHER;
    }
}

} // namespace

KcsDialog::KcsDialog(QWidget* owner) : QDialog(owner), dialog_units(font())
{
    setWindowTitle("KCS Parameter Setup");
    setFixedSize(dialog_units(0, 0, 200, 176).size());
    (new QGroupBox("Baud rate", this))->setGeometry(dialog_units(6, 4, 60, 58));
    add_button(KCS_300_BAUD, new QRadioButton("300"), dialog_units(12, 16, 48, 12));
    add_button(KCS_600_BAUD, new QRadioButton("600"), dialog_units(12, 30, 48, 12));
    add_button(KCS_1200_BAUD, new QRadioButton("1200"), dialog_units(12, 44, 48, 12));
    (new QGroupBox("Data format", this))->setGeometry(dialog_units(72, 4, 122, 58));
    // Drawn as radio buttons, they do not switch by themselves: each click flips its flag.
    for (int control : {KCS_PARITY, KCS_BITS, KCS_STOP}) {
        const char* caption = control == KCS_PARITY ? "Even/Odd Parity" : control == KCS_BITS ? "8/7 Bits" : "1/2 Stopbit";
        auto* toggle = new QRadioButton(caption);
        toggle->setAutoExclusive(false);
        add_button(control, toggle, dialog_units(78, 16 + 14 * (control - KCS_PARITY), 110, 12));
    }
    frequency = add_bar(KCS_FREQUENCY, "Frequency adjust", -64, 64, 68, frequency_value);
    hysteresis = add_bar(KCS_HYSTERESIS, "Hysteresis adjust", 0, 16, 98, hysteresis_value);

    (new QLabel("Decoded file", this))->setGeometry(dialog_units(6, 130, 80, 8));
    output = new QLineEdit(this);
    output->setReadOnly(true);
    output->setGeometry(dialog_units(6, 140, 162, 13));
    add_button(KCS_OUTPUT, new QPushButton("...."), dialog_units(172, 140, 22, 13));
    auto* ok = new QPushButton("OK", this);
    ok->setGeometry(dialog_units(88, 158, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setGeometry(dialog_units(144, 158, 50, 14));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    show_view();
}

void KcsDialog::add_button(int control, QAbstractButton* b, QRect where)
{
    b->setParent(this);
    b->setGeometry(where);
    if (auto* push = qobject_cast<QPushButton*>(b))
        push->setAutoDefault(false);
    connect(b, &QAbstractButton::clicked, [this, control] { click(control); });
    buttons[control] = b;
}

// Only the arrows change a value; the thumb and the page steps fall back to it.
QScrollBar* KcsDialog::add_bar(int control, const char* caption, int low, int high, int y, QLabel*& value)
{
    (new QLabel(caption, this))->setGeometry(dialog_units(6, y, 120, 8));
    auto* bar = new QScrollBar(Qt::Horizontal, this);
    bar->setGeometry(dialog_units(6, y + 10, 160, 11));
    bar->setRange(low, high);
    value = new QLabel(this);
    value->setGeometry(dialog_units(172, y + 11, 22, 9));
    connect(bar, &QAbstractSlider::actionTriggered, [this, bar, control](int action) {
        kcs_setup_scroll(control, scroll_code(action));
        bar->setSliderPosition(control == KCS_FREQUENCY ? Foffset : Hysteresis);
        show_view();
    });
    connect(bar, &QAbstractSlider::sliderReleased, this, &KcsDialog::show_view);
    return bar;
}

void KcsDialog::click(int control)
{
    kcs_setup_click(control);
    show_view();
}

void KcsDialog::show_view()
{
    const int baud[] = {KCS_300_BAUD, KCS_600_BAUD, KCS_1200_BAUD};
    for (int i = 0; i < 3; i++)
        buttons[baud[i]]->setChecked(Baud == i);
    buttons[KCS_PARITY]->setChecked(SPARITY);
    buttons[KCS_BITS]->setChecked(SBITS);
    buttons[KCS_STOP]->setChecked(SSTOP);
    frequency->setValue(Foffset);
    hysteresis->setValue(Hysteresis);
    frequency_value->setText(QString::fromStdString(kcs_value_text(Foffset)));
    hysteresis_value->setText(QString::fromStdString(kcs_value_text(Hysteresis)));
    output->setText(QString::fromStdString(KCSfile));
}

bool run_kcs_dialog(QWidget* owner)
{
    KcsDialog dialog(owner);
    return dialog.exec() == QDialog::Accepted;
}
