// The check the window benchmarks share: every caption of a shown window fits its control and
// no label runs into the control beside it. Each fault is printed; the count is returned.
#pragma once

#include <QAbstractButton>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QStyle>
#include <QTextDocument>
#include <QWidget>
#include <cmath>
#include <cstdio>

#include "GUI/ControlId.h"

namespace Bench {

inline QString Plain(QString text)
{
    return text.remove(QLatin1Char('&'));
}

// Captions wider than the room their control gives them.
inline int ReportOverflows(QWidget* window, const char* name)
{
    int overflows = 0;
    for (QWidget* control : window->findChildren<QWidget*>()) {
        // A widget not on the screen (a list's caption read only by screen readers, a page of
        // another tab) cuts nothing.
        if (!control->isVisible())
            continue;
        QString text;
        int room = control->width();
        if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            text = Plain(button->text());
            // Check boxes and radio buttons give part of their width to the indicator.
            if (button->inherits("QCheckBox") || button->inherits("QRadioButton"))
                room -= control->style()->pixelMetric(QStyle::PM_IndicatorWidth) + 6;
            else
                room -= 6;
        } else if (auto* label = qobject_cast<QLabel*>(control)) {
            if (label->wordWrap())
                continue;
            if (label->textFormat() == Qt::RichText ||
                (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()))) {
                // Rich text is measured as it is laid out, its headings in their own size.
                QTextDocument document;
                document.setDocumentMargin(0);
                document.setDefaultFont(label->font());
                document.setHtml(label->text());
                const int needed = static_cast<int>(std::ceil(document.idealWidth()));
                if (needed > room) {
                    std::printf("  %s: control %d (rich text) needs %d px, has %d\n", name, GUI::ControlId(control),
                                needed, room);
                    ++overflows;
                }
                continue;
            }
            text = Plain(label->text());
        } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
            text = Plain(group->title());
            room -= 16;
        } else {
            continue;
        }
        const int needed = QFontMetrics(control->font()).horizontalAdvance(text);
        if (needed > room) {
            std::printf("  %s: control %d \"%s\" needs %d px, has %d\n", name, GUI::ControlId(control),
                        text.toUtf8().constData(), needed, room);
            ++overflows;
            continue;
        }
        // A label's text must not run into a control beside it (a label may be wider than its
        // text, reaching under the next control).
        auto* label = qobject_cast<QLabel*>(control);
        if (!label || !label->parentWidget())
            continue;
        const QRect drawn = QStyle::alignedRect(label->layoutDirection(), label->alignment(),
                                                QSize(needed, QFontMetrics(label->font()).height()), label->geometry());
        for (QWidget* sibling : label->parentWidget()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (sibling == label || !sibling->isVisible() || qobject_cast<QGroupBox*>(sibling) ||
                qobject_cast<QLabel*>(sibling) || !drawn.intersects(sibling->geometry()))
                continue;
            std::printf("  %s: control %d \"%s\" runs into control %d\n", name, GUI::ControlId(control),
                        text.toUtf8().constData(), GUI::ControlId(sibling));
            ++overflows;
            break;
        }
    }
    return overflows;
}

}  // namespace Bench
