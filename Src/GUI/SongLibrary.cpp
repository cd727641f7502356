#include "GUI/SongLibrary.h"

#include <QMessageBox>

#include "GUI/LanguageTexts.h"
#include "GUI/MessageBoxes.h"
#include "GUI/SongTexts.h"
#include "System/ILanguage.h"
#include "System/ILog.h"
#include "System/LogFile.h"

namespace GUI {

namespace {

QString Text(int number)
{
    return LanguageTexts::Text(System::CurrentLanguage().GetText(number));
}

}  // namespace

SongLibrary::SongLibrary(std::string path) : _file(std::move(path))
{
    _soon.setSingleShot(true);
    _soon.setInterval(0);
    connect(&_soon, &QTimer::timeout, this, &SongLibrary::SaveWaiting);
}

SongLibrary::~SongLibrary()
{
    // Whatever was edited last is not lost to an exit at the same turn of the event loop.
    if (Waiting())
        SaveWaiting();
}

QString SongLibrary::Load()
{
    std::vector<Configuration::SongFile::Damage> damaged;
    const QString path = QString::fromStdString(Path());
    const QString backup = path + QStringLiteral(".bak");
    if (!_file.Load(_songs, damaged))
        return Text(SongTexts::SongsUnreadable).arg(path, backup);
    QStringList lines;
    for (const Configuration::SongFile::Damage& damage : damaged)
        lines << Text(SongTexts::SongsDamaged)
                     .arg(path, QString::fromStdString(damage.song))
                     .arg(damage.line)
                     .arg(backup);
    return lines.join(u'\n');
}

const Configuration::Song* SongLibrary::Find(const std::string& name) const
{
    for (const Configuration::Song& song : _songs)
        if (song.name == name)
            return &song;
    return nullptr;
}

std::string SongLibrary::FreeName(const std::string& proposal) const
{
    // The file takes names up to its limit: a longer one is cut between characters, with room
    // left for the number that sets it apart.
    std::string base = proposal;
    base.resize(System::LogFile::Utf8Prefix(base.data(), base.size(), Configuration::SongFile::MaxName - 8));
    std::string name = base;
    for (int n = 2; Find(name) != nullptr; ++n)
        name = base + " (" + std::to_string(n) + ")";
    return name;
}

void SongLibrary::Changed()
{
    _soon.start();
}

bool SongLibrary::SaveWaiting()
{
    _soon.stop();
    if (_file.Save(_songs)) {
        _told = false;
        return true;
    }
    // Once for a run of failures, and from the event loop, never inside the edit that caused it.
    if (!_told) {
        _told = true;
        const QString text = Text(SongTexts::SongsSaveFailed).arg(QString::fromStdString(Path()));
        QTimer::singleShot(0, this, [this, text] { MessageBoxes::Show(_window, QMessageBox::Warning, Text(0), text); });
    }
    return false;
}

}  // namespace GUI
