#include "GUI/DialogButtons.h"

#include <QDialog>
#include <QPushButton>

#include "GUI/DialogUnits.h"

namespace GUI::DialogButtons {

OkCancel Place(QDialog* dialog, int okId, int okX, int cancelId, int cancelX, int y, const QString& cancelText)
{
    auto* ok = new QPushButton(QStringLiteral("OK"), dialog);
    DialogUnits::Place(ok, okId, okX, y, 50, 14);
    ok->setDefault(true);
    auto* cancel = new QPushButton(cancelText, dialog);
    DialogUnits::Place(cancel, cancelId, cancelX, y, 50, 14);
    cancel->setAutoDefault(false);
    return {ok, cancel};
}

QDialogButtonBox* Box(QDialog* dialog, QDialogButtonBox::StandardButtons buttons)
{
    auto* box = new QDialogButtonBox(buttons, dialog);
    QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

}  // namespace GUI::DialogButtons
