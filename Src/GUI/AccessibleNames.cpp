#include "GUI/AccessibleNames.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabBar>
#include <QTextEdit>
#include <algorithm>
#include <limits>

#include "GUI/ControlId.h"

namespace GUI {

namespace {

// Set on a control whose name (description) was given here, so that it is worked out again
// after a change of language; a name set by the control's own window is left alone.
constexpr const char* GivenNameProperty = "accessibleNameGiven";
constexpr const char* GivenDescriptionProperty = "accessibleDescriptionGiven";
// The never-shown label that names a list (LabelList).
constexpr const char* CaptionProperty = "accessibleCaption";

// The widgets whose text is asked for when it is read (ExposeText).
struct Exposed {
    QAccessible::Role role;
    std::function<QString()> text;
};

QHash<const QObject*, Exposed>& ExposedWidgets()
{
    static QHash<const QObject*, Exposed> widgets;
    return widgets;
}

class ExposedTextInterface final : public QAccessibleWidget {
public:
    ExposedTextInterface(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name || kind == QAccessible::Value) {
            auto found = ExposedWidgets().constFind(object());
            if (found != ExposedWidgets().constEnd() && found->text)
                return found->text();
        }
        return QAccessibleWidget::text(kind);
    }
};

QHash<const QObject*, AccessibleNames::HelpText>& WindowHelp()
{
    static QHash<const QObject*, AccessibleNames::HelpText> help;
    return help;
}

// Names each window's controls as the window is shown.
class ShownWindows final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow())
            AccessibleNames::NameControls(static_cast<QWidget*>(watched));
        return false;
    }
};

struct ExposedValue {
    int minimum;
    int maximum;
    std::function<int()> value;
    std::function<void(int)> set;
    std::function<QString()> unit;
};

QHash<const QObject*, ExposedValue>& ExposedValues()
{
    static QHash<const QObject*, ExposedValue> widgets;
    return widgets;
}

class ExposedValueInterface final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ExposedValueInterface(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            if (const ExposedValue* value = Find())
                return QStringLiteral("%1 %2")
                    .arg(value->value())
                    .arg(value->unit ? value->unit() : QString())
                    .trimmed();
        return QAccessibleWidget::text(kind);
    }
    QVariant currentValue() const override
    {
        const ExposedValue* value = Find();
        return value ? QVariant(value->value()) : QVariant();
    }
    void setCurrentValue(const QVariant& number) override
    {
        const ExposedValue* value = Find();
        if (value && value->set && widget()->isEnabled())
            value->set(std::clamp(number.toInt(), value->minimum, value->maximum));
    }
    QVariant maximumValue() const override
    {
        const ExposedValue* value = Find();
        return value ? QVariant(value->maximum) : QVariant();
    }
    QVariant minimumValue() const override
    {
        const ExposedValue* value = Find();
        return value ? QVariant(value->minimum) : QVariant();
    }
    QVariant minimumStepSize() const override { return 1; }

private:
    const ExposedValue* Find() const
    {
        auto found = ExposedValues().constFind(object());
        return found == ExposedValues().constEnd() ? nullptr : &*found;
    }
};

QAccessibleInterface* ExposedTextFactory(const QString&, QObject* object)
{
    if (!object->isWidgetType())
        return nullptr;
    if (ExposedValues().contains(object))
        return new ExposedValueInterface(static_cast<QWidget*>(object));
    auto found = ExposedWidgets().constFind(object);
    if (found == ExposedWidgets().constEnd())
        return nullptr;
    return new ExposedTextInterface(static_cast<QWidget*>(object), found->role);
}

// Installs the factory, and drops an interface made for `widget` before it was exposed, so
// that the next one asked for is the factory's.
void InstallFactory(QWidget* widget)
{
    static const bool installed = [] {
        QAccessible::installFactory(&ExposedTextFactory);
        return true;
    }();
    (void)installed;
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(widget);
    if (made && !dynamic_cast<ExposedTextInterface*>(made) && !dynamic_cast<ExposedValueInterface*>(made))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

bool Readable(const QLabel* label)
{
    return label && !label->isHidden() && !AccessibleNames::Spoken(label->text()).isEmpty();
}

// The label whose buddy the control is.
QString BuddyName(const QWidget* control, const QWidget* window)
{
    for (const QLabel* label : window->findChildren<QLabel*>())
        if (label->buddy() == control && Readable(label))
            return AccessibleNames::Spoken(label->text());
    return {};
}

// The label before the control in its layout row.
QString LayoutName(const QWidget* control)
{
    const QWidget* parent = control->parentWidget();
    QLayout* layout = parent ? parent->layout() : nullptr;
    if (!layout)
        return {};
    // The control may sit in a nested layout: find the one that holds it.
    QList<QLayout*> pending{layout};
    while (!pending.isEmpty()) {
        QLayout* current = pending.takeFirst();
        const int index = current->indexOf(const_cast<QWidget*>(control));
        if (auto* form = qobject_cast<QFormLayout*>(current); form && index >= 0) {
            if (auto* label = qobject_cast<QLabel*>(form->labelForField(const_cast<QWidget*>(control)));
                Readable(label))
                return AccessibleNames::Spoken(label->text());
        } else if (auto* grid = qobject_cast<QGridLayout*>(current); grid && index >= 0) {
            int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
            grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
            for (int before = column - 1; before >= 0; --before) {
                QLayoutItem* item = grid->itemAtPosition(row, before);
                if (!item || !item->widget())
                    continue;
                if (auto* label = qobject_cast<QLabel*>(item->widget()); Readable(label))
                    return AccessibleNames::Spoken(label->text());
                break;
            }
        } else if (index > 0) {
            if (auto* label = qobject_cast<QLabel*>(current->itemAt(index - 1)->widget()); Readable(label))
                return AccessibleNames::Spoken(label->text());
        }
        for (int at = 0; at < current->count(); ++at)
            if (QLayout* inner = current->itemAt(at)->layout())
                pending.append(inner);
    }
    return {};
}

// Whether two spans share at least half of the shorter one.
bool Overlap(int top1, int bottom1, int top2, int bottom2)
{
    const int shared = std::min(bottom1, bottom2) - std::max(top1, top2);
    return shared > 0 && 2 * shared >= std::min(bottom1 - top1, bottom2 - top2);
}

// A caption drawn beside a control: a label, or the caption of a radio button or check box
// that an edit follows on its line ("Accent every [4] beats").
QString Caption(const QWidget* widget, const QWidget* control)
{
    if (auto* label = qobject_cast<const QLabel*>(widget)) {
        if (!Readable(label) || (label->buddy() && label->buddy() != control))
            return {};
        return AccessibleNames::Spoken(label->text());
    }
    if (auto* button = qobject_cast<const QAbstractButton*>(widget);
        button && button->isCheckable() && !button->isHidden())
        return AccessibleNames::Spoken(button->text());
    return {};
}

bool AllDigits(const QString& text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

// Where the dialogs' layouts put the caption of an edit or list: the caption to the left of
// the control on its line, with no other control between them, or else just above it. In a
// table of controls (a row number on the left, column headings on top) a control is named
// by its column's heading and its row's number ("Volume 3").
QString PlacedName(const QWidget* control)
{
    const QWidget* parent = control->parentWidget();
    if (!parent)
        return {};
    const QRect place = control->geometry();
    const QList<QWidget*> siblings = parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    QString left, line, across, above, heading;
    int leftGap = std::numeric_limits<int>::max();
    int lineGap = leftGap, acrossGap = leftGap, aboveGap = leftGap, headingGap = leftGap;
    for (const QWidget* sibling : siblings) {
        if (sibling == control)
            continue;
        const QString caption = Caption(sibling, control);
        if (caption.isEmpty())
            continue;
        const QRect text = sibling->geometry();
        const int gap = place.left() - text.right();
        if (gap >= -4 && Overlap(text.top(), text.bottom(), place.top(), place.bottom())) {
            bool between = false;
            for (const QWidget* other : siblings)
                if (other != control && other != sibling && !other->isHidden() &&
                    AccessibleNames::IsInteractive(other) && other->geometry().left() >= text.right() &&
                    other->geometry().right() <= place.left() &&
                    Overlap(other->y(), other->geometry().bottom(), place.top(), place.bottom()))
                    between = true;
            if (!between && gap < leftGap)
                left = caption, leftGap = gap;
            if (gap < lineGap && AllDigits(caption))
                line = caption, lineGap = gap;
            if (gap < acrossGap && !AllDigits(caption))
                across = caption, acrossGap = gap;
        }
        const int drop = place.top() - text.bottom();
        if (drop < -2 || !qobject_cast<const QLabel*>(sibling))
            continue;
        if (drop <= text.height() + 4 && drop < aboveGap && text.left() >= place.left() - 8 &&
            text.left() < place.right() && !AllDigits(caption))
            above = caption, aboveGap = drop;
        if (drop < headingGap && Overlap(text.left(), text.right(), place.left(), place.right()) && !AllDigits(caption))
            heading = caption, headingGap = drop;
    }
    if (!line.isEmpty() && !heading.isEmpty())
        return heading + u' ' + line;
    if (!left.isEmpty() && !AllDigits(left))
        return left;
    if (!above.isEmpty())
        return above;
    // The caption of a line reaches past the first control ("Length: [8] [bars]"), and a row's
    // number names every control of its row.
    if (!across.isEmpty())
        return across;
    return line;
}

// The title of the group box around the control: its parent, or a box of the same window
// that it is drawn in.
QString GroupName(const QWidget* control)
{
    for (const QWidget* up = control->parentWidget(); up; up = up->parentWidget()) {
        if (auto* box = qobject_cast<const QGroupBox*>(up))
            return AccessibleNames::Spoken(box->title());
        if (up->isWindow())
            break;
    }
    const QWidget* parent = control->parentWidget();
    if (!parent)
        return {};
    const QGroupBox* inside = nullptr;
    for (const QGroupBox* box : parent->findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly))
        if (box->geometry().contains(control->geometry()) && (!inside || inside->geometry().contains(box->geometry())))
            inside = box;
    return inside ? AccessibleNames::Spoken(inside->title()) : QString();
}

// A list is read by the label it is the buddy of, then its value; a screen reader on this
// desktop never reads a list's own name. A list with no such label gets one that is never
// shown, holding its name.
void LabelList(QComboBox* list, const QString& name)
{
    QWidget* parent = list->parentWidget();
    if (!parent)
        return;
    auto* caption = qobject_cast<QLabel*>(list->property(CaptionProperty).value<QObject*>());
    const bool labelled = [&] {
        for (const QLabel* label : parent->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
            if (label != caption && label->buddy() == list)
                return true;
        return false;
    }();
    if (labelled || name.isEmpty()) {
        if (caption) {
            list->setProperty(CaptionProperty, QVariant());
            caption->setBuddy(nullptr);
            caption->deleteLater();
        }
        return;
    }
    if (!caption) {
        caption = new QLabel(parent);
        caption->setObjectName(QStringLiteral("accessibleCaption"));
        caption->hide();
        caption->setBuddy(list);
        list->setProperty(CaptionProperty, QVariant::fromValue<QObject*>(caption));
        QObject::connect(list, &QObject::destroyed, caption, &QObject::deleteLater);
    }
    caption->setText(QString(name).replace(u'&', QStringLiteral("&&")));
}

}  // namespace

QString AccessibleNames::Spoken(const QString& caption)
{
    QString spoken;
    spoken.reserve(caption.size());
    for (qsizetype at = 0; at < caption.size(); ++at) {
        if (caption[at] == u'&') {
            if (at + 1 < caption.size() && caption[at + 1] == u'&')
                spoken += u'&', ++at;
            continue;
        }
        spoken += caption[at];
    }
    spoken = spoken.simplified();
    while (spoken.endsWith(u':') || spoken.endsWith(u'.') || spoken.endsWith(u'\x2026'))
        spoken.chop(1);
    return spoken.trimmed();
}

bool AccessibleNames::IsInteractive(const QWidget* widget)
{
    if (!widget || qobject_cast<const QLabel*>(widget) || qobject_cast<const QTabBar*>(widget) ||
        qobject_cast<const QScrollBar*>(widget))
        return false;
    if (auto* box = qobject_cast<const QGroupBox*>(widget))
        return box->isCheckable();
    // The pieces inside a control (a combo box's edit, a spin box's edit) are read as the control.
    if (const QWidget* parent = widget->parentWidget();
        parent && (qobject_cast<const QComboBox*>(parent) || qobject_cast<const QAbstractSpinBox*>(parent)))
        return false;
    return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QAbstractSlider*>(widget) ||
        qobject_cast<const QAbstractSpinBox*>(widget) || qobject_cast<const QLineEdit*>(widget) ||
        qobject_cast<const QComboBox*>(widget) || qobject_cast<const QAbstractItemView*>(widget) ||
        qobject_cast<const QTextEdit*>(widget) || qobject_cast<const QPlainTextEdit*>(widget) ||
        widget->focusPolicy() != Qt::NoFocus;
}

QString AccessibleNames::NameFor(const QWidget* control)
{
    if (!control)
        return {};
    const QWidget* window = control->window();
    QString name = BuddyName(control, window);
    if (name.isEmpty())
        name = LayoutName(control);
    if (name.isEmpty())
        if (auto* button = qobject_cast<const QAbstractButton*>(control))
            name = Spoken(button->text());
    if (name.isEmpty())
        name = PlacedName(control);
    // A row number alone says little: the group's title goes before it.
    if (name.isEmpty() || AllDigits(name)) {
        const QString group = GroupName(control);
        name = group.isEmpty() ? name : name.isEmpty() ? group : group + u' ' + name;
    }
    if (name.isEmpty())
        name = Spoken(control->toolTip());
    if (name.isEmpty())
        if (auto* line = qobject_cast<const QLineEdit*>(control))
            name = Spoken(line->placeholderText());
    if (name.isEmpty()) {
        // The one list (edit, ...) of a window is what the window is for: its title names it.
        int alike = 0;
        for (const QWidget* other : window->findChildren<QWidget*>())
            alike += other->metaObject() == control->metaObject() && IsInteractive(other);
        if (alike == 1)
            name = Spoken(window->windowTitle());
    }
    return name;
}

void AccessibleNames::SetHelp(QWidget* window, HelpText help)
{
    const bool known = WindowHelp().contains(window);
    WindowHelp().insert(window, std::move(help));
    if (!known)
        QObject::connect(window, &QObject::destroyed, [window] { WindowHelp().remove(window); });
}

void AccessibleNames::NameWindowsWhenShown()
{
    static ShownWindows* filter = nullptr;
    if (filter || !QCoreApplication::instance())
        return;
    filter = new ShownWindows;
    filter->setParent(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(filter);
}

void AccessibleNames::NameControls(QWidget* window, const HelpText& helpGiven)
{
    if (!window)
        return;
    const HelpText help = helpGiven ? helpGiven : WindowHelp().value(window);
    for (QWidget* control : window->findChildren<QWidget*>()) {
        // A widget read through ExposeText has its own name, yet takes its description here.
        const bool exposed = ExposedWidgets().contains(control);
        // A dialog owned by the window is a window of its own, with its own help texts.
        if (control->window() != window || (!exposed && !IsInteractive(control)))
            continue;
        // A name given here before is worked out again; one the window set itself stays.
        const QString current = control->accessibleName();
        const bool given = current == control->property(GivenNameProperty).toString();
        if (!exposed && (given || current.isEmpty())) {
            // A button with a caption is read by its caption, which follows its changes.
            const auto* button = qobject_cast<const QAbstractButton*>(control);
            const QString name = button && !Spoken(button->text()).isEmpty() ? QString() : NameFor(control);
            if (name != control->accessibleName())
                control->setAccessibleName(name);
            control->setProperty(GivenNameProperty, name);
            if (auto* list = qobject_cast<QComboBox*>(control))
                LabelList(list, name);
        }
        const QString described = control->accessibleDescription();
        if (described.isEmpty() || described == control->property(GivenDescriptionProperty).toString()) {
            QString description = help ? help(ControlId(control)) : QString();
            if (description.isEmpty())
                description = control->statusTip();
            if (description != control->accessibleDescription())
                control->setAccessibleDescription(description);
            control->setProperty(GivenDescriptionProperty, description);
        }
    }
}

void AccessibleNames::ExposeText(QWidget* widget, QAccessible::Role role, std::function<QString()> text)
{
    const bool known = ExposedWidgets().contains(widget);
    ExposedWidgets().insert(widget, Exposed{role, std::move(text)});
    InstallFactory(widget);
    if (!known)
        QObject::connect(widget, &QObject::destroyed, [widget] { ExposedWidgets().remove(widget); });
}

void AccessibleNames::Announce(QWidget* widget)
{
    if (!widget || !QAccessible::isActive())
        return;
    QAccessibleEvent named(widget, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
}

void AccessibleNames::ExposeValue(QWidget* widget, int minimum, int maximum, std::function<int()> value,
                                  std::function<void(int)> set, std::function<QString()> unit)
{
    const bool known = ExposedValues().contains(widget);
    ExposedValues().insert(widget, ExposedValue{minimum, maximum, std::move(value), std::move(set), std::move(unit)});
    InstallFactory(widget);
    if (!known)
        QObject::connect(widget, &QObject::destroyed, [widget] { ExposedValues().remove(widget); });
}

}  // namespace GUI
