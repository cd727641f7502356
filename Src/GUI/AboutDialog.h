#pragma once

#include <QDialog>

namespace GUI {

// The About box: the program's name, icon and version, and its licence.
class AboutDialog final : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    static QString Version();
    static QString LicenceText();
};

}  // namespace GUI
