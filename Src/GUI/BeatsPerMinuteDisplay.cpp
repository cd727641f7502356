#include "GUI/BeatsPerMinuteDisplay.h"

#include <QFontMetrics>
#include <QPainter>

#include "GUI/AccessibleNames.h"
#include "GUI/ControlId.h"
#include "GUI/Fonts.h"
#include "GUI/WindowScale.h"

namespace GUI {

BeatsPerMinuteDisplay::BeatsPerMinuteDisplay(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setObjectName(QStringLiteral("BeatsPerMinuteDisplay"));
    // Read as it is shown: "120 bpm".
    AccessibleNames::ExposeText(this, QAccessible::StaticText,
                                [this] { return QStringLiteral("%1 %2").arg(_tempo).arg(_label).trimmed(); });
}

bool BeatsPerMinuteDisplay::CreateBeatsPerMinuteDisplay(QWidget* parent, int tempo)
{
    if (parent && parentWidget() != parent)
        setParent(parent);
    SetControlId(this, 1201);
    setGeometry(WindowScale::Scaled(10, 70, Width, Height));
    _tempo = tempo;
    _background.load(QStringLiteral(":/Res/bpm-background.png"));
    _digitFont = Fonts::CreateScaledFont(44, 900);
    _labelFont = Fonts::CreateScaledFont(8, 400);
    ComputeTextPositions();
    show();
    return true;
}

void BeatsPerMinuteDisplay::ComputeTextPositions()
{
    QFontMetrics digits(_digitFont);
    int d = height() - digits.height();
    _digitTop = d / 2 - (d <= 2 ? 4 : 2);
    QFontMetrics label(_labelFont);
    _labelTop = _digitTop + digits.ascent() - label.ascent();
}

int BeatsPerMinuteDisplay::DigitLeft(int digitsWidth) const
{
    return (width() - digitsWidth) / 2 - WindowScale::Scaled(5);
}

void BeatsPerMinuteDisplay::SetTempo(int tempo)
{
    _tempo = tempo;
    repaint();
}

void BeatsPerMinuteDisplay::UpdateLabel(const QString& label)
{
    _label = label.left(LabelCapacity);
    repaint();
}

void BeatsPerMinuteDisplay::SetCaption(const QString& caption)
{
    if (caption == _caption)
        return;
    _caption = caption;
    update();
}

void BeatsPerMinuteDisplay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (_background.isNull())
        painter.fillRect(rect(), palette().window());
    else
        painter.drawImage(rect(), _background);

    const QString digits = QString::number(_tempo);
    QFontMetrics digitMetrics(_digitFont);
    int width = digitMetrics.horizontalAdvance(digits);
    int x = DigitLeft(width);
    // Dark digits on the light face of the background picture, whatever the desktop theme.
    painter.setPen(QColor(0x1a, 0x22, 0x2c));
    // A caption takes the top of the face: the digits move down into the room below it.
    const int shift = _caption.isEmpty() ? 0 : WindowScale::Scaled(CaptionShift);
    painter.setFont(_digitFont);
    painter.drawText(x, _digitTop + shift + digitMetrics.ascent(), digits);
    QFontMetrics labelMetrics(_labelFont);
    painter.setFont(_labelFont);
    painter.drawText(x + width + WindowScale::Scaled(4), _labelTop + shift + labelMetrics.ascent(), _label);
    if (!_caption.isEmpty()) {
        // Cut with an ellipsis rather than running off the face.
        const QRect line(WindowScale::Scaled(10), WindowScale::Scaled(7), this->width() - WindowScale::Scaled(20),
                         labelMetrics.height());
        painter.drawText(line, Qt::AlignHCenter | Qt::AlignTop,
                         labelMetrics.elidedText(_caption, Qt::ElideRight, line.width()));
    }
}

}  // namespace GUI
