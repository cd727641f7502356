#pragma once

#include <QVariant>
#include <QWidget>

namespace GUI {

// Every control carries its identifier in the widget property "controlId": language files, help
// texts and tests find controls by it.
inline void SetControlId(QWidget* control, int id)
{
    control->setProperty("controlId", id);
}

// The control's identifier, 0 when it has none.
inline int ControlId(const QWidget* control)
{
    if (!control)
        return 0;
    const QVariant id = control->property("controlId");
    return id.isValid() ? id.toInt() : 0;
}

}  // namespace GUI
