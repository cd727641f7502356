#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "GUI/AccessibleNames.h"
#include "GUI/ControlId.h"

namespace {

using GUI::AccessibleNames;

template <class T>
T* Place(QWidget* parent, int x, int y, int w, int h, const QString& text = {})
{
    T* widget = nullptr;
    if constexpr (std::is_constructible_v<T, QString, QWidget*>)
        widget = text.isEmpty() ? new T(parent) : new T(text, parent);
    else
        widget = new T(parent);
    widget->setGeometry(x, y, w, h);
    return widget;
}

// The name a screen reader on this desktop reads: a list's from the label it is the buddy of.
QString ReadName(QWidget* control)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(control);
    if (!face)
        return {};
    const auto labels = face->relations(QAccessible::Label);
    if (!labels.isEmpty())
        return labels.first().first->text(QAccessible::Name);
    return face->text(QAccessible::Name);
}

// The dialogs place their controls by position, not in layouts: a caption to the left, a
// caption above, a table with column headings and row numbers, an edit after a radio button.
TEST(AccessibleNamesTest, ControlsAreNamedFromTheCaptionsBesideThemAndDescribedByTheirHelp)
{
    QWidget window;
    window.setWindowTitle(QStringLiteral("Language"));
    window.resize(400, 300);
    Place<QLabel>(&window, 10, 10, 60, 20, QStringLiteral("&Name:"));
    auto* name = Place<QLineEdit>(&window, 80, 10, 100, 20);
    GUI::SetControlId(name, 7);
    Place<QLabel>(&window, 190, 10, 50, 20, QStringLiteral("Length:"));
    auto* length = Place<QLineEdit>(&window, 245, 10, 40, 20);
    auto* unit = Place<QComboBox>(&window, 290, 10, 60, 20);
    unit->addItems({QStringLiteral("bars"), QStringLiteral("minutes")});
    auto* accent = Place<QRadioButton>(&window, 10, 50, 100, 20, QStringLiteral("Beats Per Bar"));
    auto* beats = Place<QLineEdit>(&window, 115, 50, 30, 20);
    // A table: headings on top, a number at the start of each row.
    Place<QLabel>(&window, 60, 90, 80, 14, QStringLiteral("Volume"));
    Place<QLabel>(&window, 150, 90, 80, 14, QStringLiteral("Size"));
    QSlider* volume[2] = {};
    QSlider* size[2] = {};
    for (int row = 0; row < 2; ++row) {
        Place<QLabel>(&window, 10, 110 + 30 * row, 12, 20, QString::number(row + 1));
        volume[row] = Place<QSlider>(&window, 60, 110 + 30 * row, 80, 20);
        size[row] = Place<QSlider>(&window, 150, 110 + 30 * row, 80, 20);
    }
    auto* box = Place<QGroupBox>(&window, 250, 90, 140, 100, QStringLiteral("Audio Files"));
    (void)box;
    auto* browse = Place<QPushButton>(&window, 260, 110, 20, 20, QStringLiteral("..."));
    auto* ok = Place<QPushButton>(&window, 300, 260, 80, 24, QStringLiteral("&OK"));
    auto* list = Place<QListWidget>(&window, 10, 180, 200, 100);

    // A dialog the window owns is a window of its own: named with its own help, not this one's.
    auto* dialog = new QWidget(&window, Qt::Dialog);
    Place<QLabel>(dialog, 10, 10, 60, 20, QStringLiteral("File:"));
    auto* file = Place<QLineEdit>(dialog, 80, 10, 100, 20);
    GUI::SetControlId(file, 7);

    AccessibleNames::NameControls(&window,
                                  [](int id) { return id == 7 ? QStringLiteral("Names the preset") : QString(); });
    EXPECT_EQ(file->accessibleName(), QString());
    EXPECT_EQ(file->accessibleDescription(), QString());
    EXPECT_EQ(name->accessibleName(), QStringLiteral("Name"));
    EXPECT_EQ(name->accessibleDescription(), QStringLiteral("Names the preset"));
    EXPECT_EQ(length->accessibleName(), QStringLiteral("Length"));
    // The unit list after the edit is read by its line's caption, through a label of its own.
    EXPECT_EQ(ReadName(unit), QStringLiteral("Length"));
    EXPECT_EQ(beats->accessibleName(), QStringLiteral("Beats Per Bar"));
    EXPECT_EQ(volume[1]->accessibleName(), QStringLiteral("Volume 2"));
    EXPECT_EQ(size[0]->accessibleName(), QStringLiteral("Size 1"));
    // A caption that says nothing ("..."): the group and the row.
    EXPECT_EQ(browse->accessibleName(), QStringLiteral("Audio Files 1"));
    // A caption reads itself (and follows its changes); the window's one list is its title's.
    EXPECT_EQ(ok->accessibleName(), QString());
    EXPECT_EQ(ReadName(ok), QStringLiteral("OK"));
    EXPECT_EQ(ReadName(accent), QStringLiteral("Beats Per Bar"));
    EXPECT_EQ(list->accessibleName(), QStringLiteral("Language"));

    // Another language: names given here follow, a name the window set itself stays.
    for (QLabel* label : window.findChildren<QLabel*>())
        if (label->text() == QStringLiteral("Volume"))
            label->setText(QStringLiteral("Lautstärke"));
        else if (label->text() == QStringLiteral("Length:"))
            label->setText(QStringLiteral("Länge:"));
    name->setAccessibleName(QStringLiteral("Preset name"));
    AccessibleNames::NameControls(&window);
    EXPECT_EQ(volume[0]->accessibleName(), QStringLiteral("Lautstärke 1"));
    EXPECT_EQ(ReadName(unit), QStringLiteral("Länge"));
    EXPECT_EQ(name->accessibleName(), QStringLiteral("Preset name"));
    // Without the help function the description given before is gone, not left stale.
    EXPECT_EQ(name->accessibleDescription(), QString());
}

TEST(AccessibleNamesTest, ExposedWidgetsAreReadAsTheyAreAsked)
{
    QWidget window;
    auto* readOut = new QWidget(&window);
    int tempo = 120;
    AccessibleNames::ExposeText(readOut, QAccessible::StaticText, [&] { return QStringLiteral("%1 bpm").arg(tempo); });
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(readOut);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::StaticText);
    EXPECT_EQ(face->text(QAccessible::Name), QStringLiteral("120 bpm"));
    tempo = 95;
    EXPECT_EQ(face->text(QAccessible::Name), QStringLiteral("95 bpm"));
    EXPECT_EQ(AccessibleNames::Spoken(QStringLiteral("Save && &Close...")), QStringLiteral("Save & Close"));
}

}  // namespace
