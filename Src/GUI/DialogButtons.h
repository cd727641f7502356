#pragma once

#include <QDialogButtonBox>
#include <QString>

class QDialog;
class QPushButton;

namespace GUI {

// The buttons that end a dialog, made and wired in one way for every dialog.
namespace DialogButtons {

// The OK and Cancel (or Close) buttons of a dialog laid out in dialog units: both 50 by 14 at
// `y`, OK the default button and first in the tab order. They end nothing by themselves: the
// dialog connects what they do.
struct OkCancel {
    QPushButton* ok;
    QPushButton* cancel;
};
OkCancel Place(QDialog* dialog, int okId, int okX, int cancelId, int cancelX, int y, const QString& cancelText);

// A laid-out dialog's standard buttons: the accepting one accepts it, the rejecting one rejects
// it (Cancel, Close, Escape).
QDialogButtonBox* Box(QDialog* dialog, QDialogButtonBox::StandardButtons buttons);

}  // namespace DialogButtons

}  // namespace GUI
