#include "GUI/CommandTable.h"

#include <QAction>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include "GUI/ConnectionTexts.h"
#include "GUI/LanguageTexts.h"
#include "GUI/LinkTexts.h"
#include "GUI/PracticeTexts.h"
#include "GUI/SongTexts.h"
#include "GUI/StageTexts.h"
#include "System/DefaultLanguage.h"
#include "System/ILanguage.h"

namespace GUI {

// Where a command stands: one of the menus in the order of the menu bar, or a key of the
// window alone.
enum class Place { File, Tools, View, Setlist, Help, Window };

struct CommandItem {
    int command;
    Place place;
    // The English text of an item of the language files' menus (their texts replace it in
    // order); null for an item whose text is `textNumber` of the Text group.
    const char* text;
    int textNumber;
    const char* keys;
    int statusInfo;  // the number of its status text, -1 for none
    bool separatorBefore;
    bool flashKey;  // the big flash window's keys carry it out too
};

namespace {

using C = Commands;

// In the order they are shown. The language files number the items of File, Tools and Help,
// in order, skipping those that carry a text number.
const CommandItem Items[] = {
    {C::Language, Place::File, "&Language", 0, "Ctrl+L", 0, false, false},
    {C::ExportClickTrack, Place::File, nullptr, ConnectionTexts::ExportMenu, "", -1, false, false},
    {C::Exit, Place::File, "E&xit", 0, "Ctrl+Q", 1, true, false},
    {C::Options, Place::Tools, "&Options ...", 0, "Ctrl+O", 2, false, false},
    {C::SoundSettings, Place::Tools, "&Sound Settings...", 0, "Ctrl+S", 3, false, false},
    {C::ChooseSoundFont, Place::Tools, nullptr, ConnectionTexts::SoundFontMenu, "", -1, false, false},
    {C::AudioFiles, Place::Tools, "&Audio Files...", 0, "Ctrl+A", 4, false, false},
    {C::Presets, Place::Tools, "&Presets ...", 0, "Ctrl+P", 5, false, false},
    {C::CountInSettings, Place::Tools, nullptr, PracticeTexts::MenuCountIn, "Ctrl+K", -1, false, false},
    {C::PracticeLogView, Place::Tools, nullptr, PracticeTexts::MenuPracticeLog, "Ctrl+G", -1, false, false},
    {C::LinkSession, Place::Tools, nullptr, LinkTexts::LinkItem, "", -1, false, false},
    {C::Flash, Place::View, nullptr, StageTexts::FlashItem, "Ctrl+B", -1, false, false},
    {C::FullScreen, Place::View, nullptr, StageTexts::FullScreenItem, "F11", -1, false, false},
    {C::Mute, Place::View, nullptr, StageTexts::MuteItem, "M", -1, false, true},
    {C::SetlistsDialog, Place::Setlist, nullptr, StageTexts::SetlistsItem, "Ctrl+E", -1, false, false},
    {C::NextEntry, Place::Setlist, nullptr, StageTexts::NextItem, "N", -1, false, true},
    {C::PreviousEntry, Place::Setlist, nullptr, StageTexts::PreviousItem, "B", -1, false, true},
    {C::SongsDialog, Place::Setlist, nullptr, SongTexts::SongsItem, "Ctrl+J", -1, false, false},
    {C::Help, Place::Help, "&Help", 0, "Ctrl+F1", 7, false, false},
    {C::About, Place::Help, "&About", 0, "Ctrl+F3", 8, true, false},
    {C::StartStop, Place::Window, nullptr, 0, "S", -1, false, true},
    {C::StartStop, Place::Window, nullptr, 0, "Return", -1, false, true},
    {C::StartStop, Place::Window, nullptr, 0, "Enter", -1, false, true},
    {C::Pause, Place::Window, nullptr, 0, "Space", -1, false, true},
    {C::Tap, Place::Window, nullptr, 0, "T", -1, false, false},
    {C::Tap, Place::Window, nullptr, 0, "Ctrl+T", -1, false, false},
    {C::Tap, Place::Window, nullptr, 0, "Shift+T", -1, false, false},
    {C::Tap, Place::Window, nullptr, 0, "Ctrl+Shift+T", -1, false, false},
};

// The menus' titles: the language files' (in English until a language replaces them) or a
// number of the Text group.
struct MenuTitle {
    const char* text;
    int textNumber;
};

const MenuTitle MenuTitles[] = {
    {"&File", 0}, {"&Tools", 0}, {nullptr, StageTexts::ViewMenu}, {nullptr, StageTexts::SetlistMenu}, {"&Help", 0},
};

}  // namespace

void CommandTable::CreateMenus(bool muted, std::function<void(int command)> hovered, std::function<void()> hidden)
{
    const System::ILanguage& texts = System::CurrentLanguage();
    QMenuBar* bar = _window.menuBar();
    QMenu* menus[std::size(MenuTitles)] = {};
    for (std::size_t i = 0; i < std::size(MenuTitles); ++i) {
        const MenuTitle& title = MenuTitles[i];
        if (title.text) {
            menus[i] = bar->addMenu(QString::fromLatin1(title.text));
            QObject::connect(menus[i], &QMenu::aboutToHide, &_window, hidden);
            continue;
        }
        // Their texts are numbered in the "Text" group, so the other menus keep theirs.
        menus[i] = new QMenu(LanguageTexts::Text(texts.GetText(title.textNumber)), &_window);
        LanguageTexts::SetTextNumber(menus[i]->menuAction(), title.textNumber);
        bar->addMenu(menus[i]);
    }
    for (const CommandItem& item : Items) {
        if (item.place == Place::Window)
            continue;
        QMenu* menu = menus[static_cast<int>(item.place)];
        if (item.separatorBefore)
            menu->addSeparator();
        QAction* action = AddItem(menu, item);
        if (item.text) {
            action->setText(QString::fromLatin1(item.text));
        } else {
            // LanguageTexts keeps the number's text through a language change.
            action->setText(LanguageTexts::MenuText(texts.GetText(item.textNumber)));
            LanguageTexts::SetTextNumber(action, item.textNumber);
        }
        if (item.statusInfo >= 0) {
            const int command = item.command;
            QObject::connect(action, &QAction::hovered, &_window, [hovered, command] { hovered(command); });
        }
        action->setCheckable(item.command == Mute || item.command == LinkSession);
        if (item.command == Mute)
            action->setChecked(muted);
    }
}

void CommandTable::CreateAccelerators()
{
    for (const CommandItem& item : Items)
        if (item.place == Place::Window)
            _window.addAction(AddItem(nullptr, item));
}

QAction* CommandTable::AddItem(QMenu* menu, const CommandItem& item)
{
    QAction* action = menu ? menu->addAction(QString()) : new QAction(&_window);
    action->setShortcut(QKeySequence(QString::fromLatin1(item.keys)));
    action->setShortcutContext(Qt::WindowShortcut);
    Register(action, item.command);
    return action;
}

void CommandTable::Register(QAction* action, int command)
{
    action->setData(command);
    QObject::connect(action, &QAction::triggered, &_window, [this, command] { Run(command); });
    if (!_actions.contains(command))
        _actions.insert(command, action);
}

void CommandTable::Handle(int command, Handler handler)
{
    _handlers.insert(command, std::move(handler));
}

bool CommandTable::Run(int command) const
{
    const auto handler = _handlers.constFind(command);
    if (handler == _handlers.constEnd() || !*handler)
        return false;
    (*handler)();
    return true;
}

QAction* CommandTable::Action(int command) const
{
    return _actions.value(command, nullptr);
}

int CommandTable::FlashCommand(int key) const
{
    for (const CommandItem& item : Items) {
        if (!item.flashKey)
            continue;
        const QKeySequence keys(QString::fromLatin1(item.keys));
        if (keys.count() == 1 && keys[0].key() == key && keys[0].keyboardModifiers() == Qt::NoModifier)
            return item.command;
    }
    return 0;
}

int CommandTable::StatusInfoNumber(int command)
{
    for (const CommandItem& item : Items)
        if (item.command == command)
            return item.statusInfo;
    return -1;
}

}  // namespace GUI
