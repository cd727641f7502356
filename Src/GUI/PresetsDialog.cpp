#include "GUI/PresetsDialog.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>

#include "Configuration/FileConfiguration.h"
#include "Configuration/IConfiguration.h"
#include "GUI/DialogUnits.h"
#include "GUI/IParentWindow.h"
#include "GUI/LanguageTexts.h"
#include "GUI/MessageBoxes.h"
#include "GUI/QtText.h"
#include "System/ILanguage.h"

namespace GUI {

namespace {

QString Text(const char16_t* text)
{
    return LanguageTexts::Text(text);
}

const System::ILanguage& Texts()
{
    return System::CurrentLanguage();
}

// Hands a double click on the list to the page, with the keys held at the click.
class DoubleClickWatcher final : public QObject {
public:
    DoubleClickWatcher(QWidget* viewport, std::function<void(QMouseEvent*)> handler)
        : QObject(viewport), _handler(std::move(handler))
    {
        viewport->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonDblClick) {
            auto* click = static_cast<QMouseEvent*>(event);
            if (click->button() == Qt::LeftButton)
                _handler(click);
        }
        return false;
    }

private:
    std::function<void(QMouseEvent*)> _handler;
};

}  // namespace

PresetsDialog::PresetsDialog(Configuration::IConfiguration& configuration) : _configuration(configuration) {}

void PresetsDialog::SetFrame(IParentWindow* frame, ControlSubClasser* information)
{
    _frame = frame;
    _information = information;
}

bool PresetsDialog::IsValidName(const QString& name)
{
    // Letters of any script ("Übung"), digits, spaces and punctuation ("Warm-up", "Take 2/3"):
    // the file is UTF-8. Only control characters stay out, and what the file's lines cannot
    // give back (a '#', a tab, a leading space or '=', a lone half of a surrogate pair).
    for (QChar character : name)
        if (character.category() == QChar::Other_Control)
            return false;
    return Configuration::FileConfiguration::CanStore(QtText::View(name));
}

QString PresetsDialog::Named(int messageNumber, const QString& name)
{
    return Text(Texts().GetMessage(messageNumber)).replace(QStringLiteral("%1"), name);
}

QTreeWidget* PresetsDialog::List() const
{
    return ControlAs<QTreeWidget>(ListId);
}

QWidget* PresetsDialog::Create(QWidget* parent)
{
    QWidget* page = CreatePageWindow(parent, _information);
    auto* name = new QLineEdit(page);
    DialogUnits::Place(name, NameEditId, 54, 7, 189, 12);
    name->setMaxLength(MaxName);
    auto* description = new QLineEdit(page);
    DialogUnits::Place(description, DescriptionEditId, 54, 21, 189, 12);
    description->setMaxLength(MaxDescription);
    struct Button {
        int id;
        const char* text;
        int x, y;
        void (PresetsDialog::*action)();
    };
    const Button buttons[] = {{ClearId, "&Clear", 247, 7, &PresetsDialog::Clear},
                              {SaveId, "&Save", 296, 7, &PresetsDialog::Save},
                              {UpdateId, "&Update", 345, 7, &PresetsDialog::Update},
                              {LoadId, "&Load", 247, 21, &PresetsDialog::Load},
                              {DeleteId, "&Delete", 296, 21, &PresetsDialog::Delete}};
    for (const Button& button : buttons) {
        auto* push = new QPushButton(QString::fromUtf8(button.text), page);
        DialogUnits::Place(push, button.id, button.x, button.y, 48, 12);
        push->setAutoDefault(false);
        auto action = button.action;
        QObject::connect(push, &QPushButton::clicked, page, [this, action] { (this->*action)(); });
    }
    auto* list = new QTreeWidget(page);
    DialogUnits::Place(list, ListId, 7, 39, 386, 188);
    list->setColumnCount(2);
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSortingEnabled(false);
    list->setHeaderLabels({Text(Texts().GetText(12)), Text(Texts().GetText(13))});
    // A quarter of the width for the name, the rest less a scroll bar for the description.
    const int client = list->viewport()->width() > 0 ? list->width() - 2 * list->frameWidth() : list->width();
    const int scrollBar = list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
    list->header()->setStretchLastSection(false);
    list->setColumnWidth(0, client / 4);
    list->setColumnWidth(1, client - client / 4 - scrollBar);
    // Choosing a row shows its name and description, so that Update starts from what is stored.
    QObject::connect(list, &QTreeWidget::itemSelectionChanged, page, [this, list] {
        const QList<QTreeWidgetItem*> selected = list->selectedItems();
        if (selected.isEmpty())
            return;
        ControlAs<QLineEdit>(NameEditId)->setText(selected.first()->text(0).left(MaxName));
        ControlAs<QLineEdit>(DescriptionEditId)->setText(selected.first()->text(1).left(MaxDescription));
    });
    new DoubleClickWatcher(list->viewport(), [this, list](QMouseEvent* click) {
        QTreeWidgetItem* item = list->itemAt(click->position().toPoint());
        DoubleClick(item ? list->indexOfTopLevelItem(item) : -1, click->modifiers() & Qt::ControlModifier);
    });
    auto* nameLabel = new QLabel(QStringLiteral("Name"), page);
    DialogUnits::Place(nameLabel, 1060, 7, 10, 46, 8);
    auto* descriptionLabel = new QLabel(QStringLiteral("Description"), page);
    DialogUnits::Place(descriptionLabel, 1061, 7, 23, 46, 8);
    LanguageTexts::ApplyDialogTexts(page, TemplateId, Texts());

    _configuration.EnumeratePresets(
        [](const Configuration::ConfigurationData& preset, void* context) {
            auto* self = static_cast<PresetsDialog*>(context);
            self->AppendRow(QtText::FromField(preset.PresetName), QtText::FromField(preset.Description));
            return 1;
        },
        this);
    if (!_name.isEmpty()) {
        name->setText(_name);
        description->setText(_description);
    }
    SubClassChildControls(page, _information);
    return page;
}

void PresetsDialog::Destroy()
{
    DestroyPageWindow();
}

void PresetsDialog::AppendRow(const QString& name, const QString& description)
{
    if (QTreeWidget* list = List())
        new QTreeWidgetItem(list, {name, description});
}

bool PresetsDialog::CheckName()
{
    auto* edit = ControlAs<QLineEdit>(NameEditId);
    _name = edit->text().left(MaxName);
    if (_name.isEmpty()) {
        MessageBoxes::Show(_window, QMessageBox::Warning, Text(Texts().GetMessageTitle(1)),
                           Text(Texts().GetMessage(2)));
        edit->setFocus(Qt::OtherFocusReason);
        return false;
    }
    if (!IsValidName(_name)) {
        _name.clear();
        MessageBoxes::Show(_window, QMessageBox::Warning, Text(Texts().GetMessageTitle(3)),
                           Text(Texts().GetMessage(4)));
        edit->selectAll();
        edit->setFocus(Qt::OtherFocusReason);
        return false;
    }
    return true;
}

bool PresetsDialog::FillRecord(Configuration::ConfigurationData& record)
{
    if (!CheckName())
        return false;
    if (!_frame || _frame->Request(IParentWindow::FillSettings, reinterpret_cast<std::intptr_t>(&record)) != 0)
        return false;
    _description = ControlAs<QLineEdit>(DescriptionEditId)->text().left(MaxDescription);
    // A name or description the configuration file would give back changed (cut at a '#', or
    // merged with another preset's name) is refused while the user can still change it.
    for (const QString* text : {&_name, &_description}) {
        if (!Configuration::FileConfiguration::CanStore(QtText::View(*text))) {
            MessageBoxes::Show(_window, QMessageBox::Warning, QStringLiteral("Ticova"),
                               QStringLiteral("This text cannot be kept in the settings:\n%1\n\n"
                                              "It starts with a space or '=', or holds a '#' or a tab.")
                                   .arg(*text));
            return false;
        }
    }
    QtText::ToField(record.PresetName, _name);
    QtText::ToField(record.Description, _description);
    const Configuration::ConfigurationData& live = _configuration.GetCurrentSettings();
    record.Bpm = live.Bpm;
    record.GlobalVolume = live.GlobalVolume;
    return true;
}

bool PresetsDialog::SelectedRow(int& row, QString& name)
{
    QTreeWidget* list = List();
    const QList<QTreeWidgetItem*> selected = list ? list->selectedItems() : QList<QTreeWidgetItem*>();
    if (selected.isEmpty()) {
        MessageBoxes::Show(_window, QMessageBox::Information, Text(Texts().GetMessageTitle(5)),
                           Text(Texts().GetMessage(6)));
        return false;
    }
    row = list->indexOfTopLevelItem(selected.first());
    name = selected.first()->text(0).left(MaxName);
    return true;
}

void PresetsDialog::Save()
{
    if (!_window)
        return;
    Configuration::ConfigurationData record;
    if (!FillRecord(record))
        return;
    if (_configuration.IsPreset(record.PresetName)) {
        if (MessageBoxes::Ask(_window, QMessageBox::Information, Text(Texts().GetMessageTitle(2)),
                              Text(Texts().GetMessage(3))) &&
            _configuration.UpdatePreset(record, record.PresetName)) {
            // The row shows the description it was saved with.
            for (QTreeWidgetItem* item : List()->findItems(_name, Qt::MatchExactly, 0))
                item->setText(1, _description);
        }
        return;
    }
    if (_configuration.AddPreset(record))
        AppendRow(_name, _description);
}

void PresetsDialog::Update()
{
    if (!_window)
        return;
    int row = -1;
    QString oldName;
    if (!SelectedRow(row, oldName))
        return;
    Configuration::ConfigurationData record;
    if (!FillRecord(record))
        return;
    char16_t old[Configuration::ConfigurationData::PresetNameCapacity];
    QtText::ToField(old, oldName);
    // A new name must not be another preset's: the list would show two rows of one name.
    if (_name != oldName && _configuration.IsPreset(record.PresetName)) {
        MessageBoxes::Show(_window, QMessageBox::Warning, Text(Texts().GetMessageTitle(2)), Named(53, _name));
        auto* edit = ControlAs<QLineEdit>(NameEditId);
        edit->selectAll();
        edit->setFocus(Qt::OtherFocusReason);
        return;
    }
    _configuration.UpdatePreset(record, old);
    if (QTreeWidgetItem* item = List()->topLevelItem(row)) {
        item->setText(0, _name);
        item->setText(1, _description);
    }
}

void PresetsDialog::LoadNamed(const QString& name)
{
    char16_t key[Configuration::ConfigurationData::PresetNameCapacity];
    QtText::ToField(key, name);
    if (!_configuration.LoadPreset(key)) {
        _name.clear();
        return;
    }
    ControlAs<QLineEdit>(NameEditId)->setText(name);
    _description = QtText::FromField(_configuration.GetCurrentSettings().Description);
    ControlAs<QLineEdit>(DescriptionEditId)->setText(_description);
    if (_frame)
        _frame->Notify(IParentWindow::PresetLoaded, 0);
}

void PresetsDialog::Load()
{
    if (!_window)
        return;
    int row = -1;
    QString name;
    if (!SelectedRow(row, name)) {
        _name.clear();
        return;
    }
    _name = name;
    LoadNamed(name);
}

void PresetsDialog::DoubleClick(int row, bool control)
{
    QTreeWidget* list = List();
    QTreeWidgetItem* item = list && row >= 0 ? list->topLevelItem(row) : nullptr;
    if (!item)
        return;
    _name = item->text(0).left(MaxName);
    _description = item->text(1).left(MaxDescription);
    ControlAs<QLineEdit>(NameEditId)->setText(_name);
    ControlAs<QLineEdit>(DescriptionEditId)->setText(_description);
    if (control)
        return;
    LoadNamed(_name);
}

void PresetsDialog::Delete()
{
    if (!_window)
        return;
    int row = -1;
    QString name;
    if (!SelectedRow(row, name))
        return;
    if (!MessageBoxes::Ask(_window, QMessageBox::Question, Text(Texts().GetMessageTitle(22)), Named(54, name)))
        return;
    char16_t key[Configuration::ConfigurationData::PresetNameCapacity];
    QtText::ToField(key, name);
    _configuration.DeletePreset(key);
    delete List()->takeTopLevelItem(row);
    List()->clearSelection();
}

void PresetsDialog::Clear()
{
    if (!_window)
        return;
    ControlAs<QLineEdit>(NameEditId)->clear();
    ControlAs<QLineEdit>(DescriptionEditId)->clear();
}

}  // namespace GUI
