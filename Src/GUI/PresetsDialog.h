#pragma once

#include <QString>

#include "Configuration/ConfigurationData.h"
#include "GUI/ControlSubClasser.h"
#include "GUI/TabDialog.h"

class QLineEdit;
class QTreeWidget;

namespace Configuration {
class IConfiguration;
}

namespace GUI {

class IParentWindow;

// The Presets tab: the named presets, saved from the other pages, updated, loaded into the
// live settings at once, and deleted.
class PresetsDialog final : public ControlSubClasser, public TabDialog {
public:
    static constexpr int NameEditId = 1318;
    static constexpr int DescriptionEditId = 1319;
    static constexpr int ClearId = 1062;
    static constexpr int SaveId = 1063;
    static constexpr int UpdateId = 1064;
    static constexpr int LoadId = 1065;
    static constexpr int DeleteId = 1066;
    static constexpr int ListId = 1320;
    static constexpr int TemplateId = 111;
    static constexpr int MaxName = Configuration::ConfigurationData::PresetNameCapacity - 1;
    static constexpr int MaxDescription = Configuration::ConfigurationData::DescriptionCapacity - 1;

    explicit PresetsDialog(Configuration::IConfiguration& configuration);

    void SetFrame(IParentWindow* frame, ControlSubClasser* information);
    QWidget* Create(QWidget* parent);
    void Destroy();

    void Save();
    void Update();
    void Load();
    void Delete();
    void Clear();
    // A double click on row `row`; with `control` held the edits are filled and nothing loads.
    void DoubleClick(int row, bool control);

    QTreeWidget* List() const;
    const QString& RememberedName() const { return _name; }
    const QString& RememberedDescription() const { return _description; }

    // Letters, digits and spaces only.
    static bool IsValidName(const QString& name);
    // Message `messageNumber` with the preset's name in place of its "%1".
    static QString Named(int messageNumber, const QString& name);

    void MouseOverControl(int) override {}

private:
    bool CheckName();
    bool FillRecord(Configuration::ConfigurationData& record);
    // The selected row and its name; false (after telling the user) when none is selected.
    bool SelectedRow(int& row, QString& name);
    void AppendRow(const QString& name, const QString& description);
    void LoadNamed(const QString& name);

    Configuration::IConfiguration& _configuration;
    IParentWindow* _frame = nullptr;
    ControlSubClasser* _information = nullptr;
    QString _name;
    QString _description;
};

}  // namespace GUI
