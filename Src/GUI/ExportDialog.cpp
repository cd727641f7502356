#include "GUI/ExportDialog.h"
#include "GUI/DialogButtons.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <cmath>

#include "Configuration/ExtraSettings.h"
#include "Configuration/Song.h"
#include "Core/ClickTrackExport.h"
#include "GUI/ConnectionTexts.h"
#include "GUI/LanguageTexts.h"
#include "GUI/MessageBoxes.h"
#include "System/ILanguage.h"

namespace GUI {

namespace {

QString Text(int number)
{
    return LanguageTexts::Text(System::CurrentLanguage().GetText(number));
}

}  // namespace

ExportDialog::ExportDialog(const Configuration::ConfigurationData& settings, Configuration::ExtraSettings& extras,
                           QWidget* parent)
    : QDialog(parent), _settings(settings), _extras(extras)
{
    setWindowTitle(Text(ConnectionTexts::ExportTitle));
    auto* form = new QFormLayout(this);

    auto* fileRow = new QHBoxLayout;
    const QString folder = QString::fromStdString(_extras.Text("export.folder", QDir::homePath().toStdString()));
    _file = new QLineEdit(QDir(folder).filePath(QStringLiteral("click.wav")), this);
    _file->setMinimumWidth(300);
    auto* browse = new QPushButton(Text(ConnectionTexts::ExportBrowse), this);
    connect(browse, &QPushButton::clicked, this, &ExportDialog::Browse);
    fileRow->addWidget(_file);
    fileRow->addWidget(browse);
    form->addRow(Text(ConnectionTexts::ExportFile), fileRow);

    auto* lengthRow = new QHBoxLayout;
    _amount = new QDoubleSpinBox(this);
    _amount->setRange(0.25, 100000);
    _amount->setDecimals(2);
    _amount->setValue(static_cast<double>(_extras.Number("export.amount", 800, 25, 10'000'000)) / 100.0);
    _unit = new QComboBox(this);
    _unit->addItem(Text(ConnectionTexts::ExportBars));
    _unit->addItem(Text(ConnectionTexts::ExportMinutes));
    _unit->setCurrentIndex(static_cast<int>(_extras.Number("export.unit", 0, 0, 1)));
    lengthRow->addWidget(_amount);
    lengthRow->addWidget(_unit);
    form->addRow(Text(ConnectionTexts::ExportLength), lengthRow);

    auto* buttons = DialogButtons::Box(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    form->addRow(buttons);
}

void ExportDialog::SetSong(const Configuration::Song* song)
{
    _song = song;
    const bool ends =
        song != nullptr && !song->sections.empty() && song->sections.back().bars != Configuration::SongSection::Endless;
    _amount->setEnabled(!ends);
    _unit->setEnabled(!ends);
    // The song's name as the file's, a slash in it taken for no folder.
    if (song != nullptr && !song->name.empty())
        _file->setText(QFileInfo(_file->text())
                           .dir()
                           .filePath(QString::fromStdString(song->name).replace(u'/', u'-') + QStringLiteral(".wav")));
}

void ExportDialog::Browse()
{
    const QString chosen = QFileDialog::getSaveFileName(this, Text(ConnectionTexts::ExportTitle), _file->text(),
                                                        Text(ConnectionTexts::ExportFilter));
    if (!chosen.isEmpty())
        _file->setText(chosen);
}

bool ExportDialog::Run()
{
    if (exec() != QDialog::Accepted)
        return false;
    return Export();
}

bool ExportDialog::Export()
{
    const QString path = _file->text().trimmed();
    _extras.SetText("export.folder", QFileInfo(path).absolutePath().toStdString());
    _extras.SetNumber("export.amount", std::llround(_amount->value() * 100));
    _extras.SetNumber("export.unit", _unit->currentIndex());

    const Core::ClickTrackExport::Length length{_unit->currentIndex() == 1 ? Core::ClickTrackExport::Unit::Minutes
                                                                           : Core::ClickTrackExport::Unit::Bars,
                                                _amount->value()};
    QProgressDialog progress(Text(ConnectionTexts::ExportProgress), QProgressDialog::tr("Cancel"), 0, 1000,
                             parentWidget());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    const Core::ClickTrackExport::Result result = Core::ClickTrackExport::Run(
        _settings, path.toStdString(), length,
        [&progress](double done) {
            progress.setValue(static_cast<int>(done * 1000));
            QCoreApplication::processEvents();
            return !progress.wasCanceled();
        },
        Core::CountIn::Read(_extras), _song);
    progress.reset();
    if (result.cancelled)
        return false;
    if (!result.written) {
        if (result.startCode != 0)
            MessageBoxes::ShowMetronomeError(result.startCode, parentWidget());
        else
            MessageBoxes::Show(parentWidget(), QMessageBox::Warning, Text(ConnectionTexts::ExportTitle),
                               Text(ConnectionTexts::ExportFailed).arg(QString::fromStdString(result.error)));
        return false;
    }
    MessageBoxes::Show(parentWidget(), QMessageBox::Information, Text(ConnectionTexts::ExportTitle),
                       Text(ConnectionTexts::ExportDone)
                           .arg(result.seconds, 0, 'f', 1)
                           .arg(result.elapsed, 0, 'f', 2)
                           .arg(result.speedRatio, 0, 'f', 0));
    return true;
}

}  // namespace GUI
