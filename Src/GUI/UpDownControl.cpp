#include "GUI/UpDownControl.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>

namespace GUI {

UpDownControl::UpDownControl(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    _repeat = new QTimer(this);
    connect(_repeat, &QTimer::timeout, this, [this] {
        _repeat->setInterval(60);
        if (_pressed != 0)
            Step(_pressed);
    });
}

int UpDownControl::Clamp(int value) const
{
    return value < _low ? _low : (value > _high ? _high : value);
}

void UpDownControl::SetRange(int low, int high)
{
    _low = low < high ? low : high;
    _high = low < high ? high : low;
    _position = Clamp(_position);
}

void UpDownControl::SetPosition(int position)
{
    _position = Clamp(position);
}

void UpDownControl::SetBuddy(QLineEdit* buddy, bool setBuddyInt)
{
    if (_buddy)
        _buddy->removeEventFilter(this);
    _buddy = buddy;
    _setBuddyInt = setBuddyInt;
    if (_buddy && _setBuddyInt)
        _buddy->installEventFilter(this);
}

QLineEdit* UpDownControl::Buddy() const
{
    return qobject_cast<QLineEdit*>(_buddy.data());
}

void UpDownControl::Step(int delta)
{
    if (!isEnabled())
        return;
    QLineEdit* buddy = _setBuddyInt ? Buddy() : nullptr;
    if (buddy) {
        // The edit's number is the position, whatever was typed there.
        bool ok = false;
        int typed = buddy->text().trimmed().toInt(&ok);
        if (ok)
            _position = Clamp(typed);
    }
    _position = Clamp(_position + delta);
    if (buddy)
        buddy->setText(QString::number(_position));
    emit Scrolled(_position);
}

void UpDownControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int half = height() / 2;
    const QRect halves[2] = {QRect(0, 0, width(), half), QRect(0, half, width(), height() - half)};
    for (int i = 0; i < 2; ++i) {
        QStyleOptionButton button;
        button.initFrom(this);
        button.rect = halves[i];
        if (_pressed == (i == 0 ? 1 : -1))
            button.state |= QStyle::State_Sunken;
        else
            button.state |= QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &button, &painter, this);
        QStyleOption arrow;
        arrow.initFrom(this);
        arrow.rect = halves[i].adjusted(2, 1, -2, -1);
        style()->drawPrimitive(i == 0 ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown, &arrow, &painter,
                               this);
    }
}

void UpDownControl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        QWidget::mousePressEvent(event);
        return;
    }
    _pressed = event->position().y() < height() / 2 ? 1 : -1;
    Step(_pressed);
    _repeat->setInterval(400);
    _repeat->start();
    update();
}

void UpDownControl::mouseReleaseEvent(QMouseEvent* event)
{
    _repeat->stop();
    _pressed = 0;
    update();
    QWidget::mouseReleaseEvent(event);
}

void UpDownControl::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        _repeat->stop();
        _pressed = 0;
    }
    QWidget::changeEvent(event);
}

bool UpDownControl::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched == _buddy.data()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace GUI
