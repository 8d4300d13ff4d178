#include "frontend/qt/speed_window.h"

#include "frontend/speed.h"
#include "host/host.h"
#include "host/ids.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

SpeedWindow::SpeedWindow(QWidget* owner, std::deque<std::function<void()>>& messages)
    : QDialog(owner), dialog_units(font()), messages(messages)
{
    setWindowTitle("Emulation Speed Meter");
    setFixedSize(dialog_units(0, 0, 150, 130).size());
    (new QGroupBox("Relative speed of", this))->setGeometry(dialog_units(6, 4, 138, 68));
    field = new QLabel(this);
    field->setGeometry(dialog_units(14, 16, 124, 52));
    field->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    (new QLabel("Emulator speed adjust", this))->setGeometry(dialog_units(6, 76, 138, 8));
    adjust = new QScrollBar(Qt::Horizontal, this);
    adjust->setGeometry(dialog_units(6, 86, 138, 10));
    adjust->setRange(100, 400);
    (new QLabel("100% --- 200% --- 400% --- Warp", this))->setGeometry(dialog_units(6, 98, 138, 8));
    auto* run = new QPushButton("Run Test", this);
    run->setGeometry(dialog_units(6, 110, 60, 14));
    connect(run, &QPushButton::clicked, [this] { click(SPD_RUN_TEST); });
    close = new QPushButton(this);
    close->setGeometry(dialog_units(84, 110, 60, 14));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, [this] { click(SPD_CLOSE); });

    // The arrows step the speed; a released thumb snaps to the nearest factor.
    connect(adjust, &QAbstractSlider::actionTriggered, [this](int action) {
        if (action == QAbstractSlider::SliderSingleStepSub)
            scroll(SCROLL_LINE_LEFT);
        else if (action == QAbstractSlider::SliderSingleStepAdd)
            scroll(SCROLL_LINE_RIGHT);
        else if (action != QAbstractSlider::SliderMove)
            scroll(SCROLL_OTHER);
    });
    connect(adjust, &QAbstractSlider::sliderReleased, [this] { scroll(SCROLL_THUMB_RELEASED); });
    show_view();
}

void SpeedWindow::scroll(int code)
{
    speed_scroll(code, adjust->sliderPosition());
    adjust->setSliderPosition(spd.bar);
    show_view();
}

void SpeedWindow::click(int id)
{
    if (speed_command(id))
        messages.push_back([] { host->close_speed(); });
    show_view();
}

void SpeedWindow::show_view()
{
    field->setText(QString::fromStdString(spd.meter));
    close->setText(QString::fromStdString(spd.button));
    adjust->setValue(spd.bar);
}

void SpeedWindow::reject() { click(SPD_CLOSE); }

// The title bar's close button is the "Close" button: ignored while a test runs.
void SpeedWindow::closeEvent(QCloseEvent* e)
{
    e->ignore();
    click(SPD_CLOSE);
}
