#include "GUI/PracticeLogDialog.h"
#include "GUI/DialogButtons.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <vector>

#include "Configuration/PracticeLog.h"
#include "GUI/LanguageTexts.h"
#include "GUI/NoticeTexts.h"
#include "GUI/OptionsDialog.h"
#include "GUI/PracticeTexts.h"
#include "System/ILanguage.h"

namespace GUI {

namespace {

QString Text(int number)
{
    return LanguageTexts::Text(System::CurrentLanguage().GetText(number));
}

QString Date(int year, int month, int day)
{
    return QStringLiteral("%1-%2-%3")
        .arg(year, 4, 10, QLatin1Char('0'))
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(day, 2, 10, QLatin1Char('0'));
}

QString Minutes(double minutes)
{
    return QString::number(minutes, 'f', 1);
}

QTableWidget* Table(QWidget* parent, const QStringList& headings, int rows)
{
    auto* table = new QTableWidget(rows, static_cast<int>(headings.size()), parent);
    table->setHorizontalHeaderLabels(headings);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

// The log keeps beat types by their English names; shown, they read as the Options page's radio
// buttons do in the language in use.
QString BeatType(const std::string& stored)
{
    for (std::uint32_t type = 0; type < 4; ++type) {
        if (Configuration::PracticeLog::BeatTypeName(type) != stored)
            continue;
        if (const char16_t* text =
                System::CurrentLanguage().GetDialogControlText(OptionsDialog::SimpleBeatId + static_cast<int>(type)))
            return LanguageTexts::Text(text).remove(u'&');
    }
    return QString::fromStdString(stored);
}

void Set(QTableWidget* table, int row, int column, const QString& text, bool number = false)
{
    auto* item = new QTableWidgetItem(text);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table->setItem(row, column, item);
}

}  // namespace

PracticeLogDialog::PracticeLogDialog(const Configuration::PracticeLog& log, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PracticeLogDialog"));
    setWindowTitle(Text(PracticeTexts::PracticeLogTitle));
    std::vector<Configuration::PracticeRun> runs;
    int skipped = 0;
    bool partial = false;
    log.Load(runs, skipped, &partial);

    auto* runsGroup = new QGroupBox(Text(PracticeTexts::Runs), this);
    _runs = Table(runsGroup,
                  {Text(PracticeTexts::Date), Text(PracticeTexts::Time), Text(PracticeTexts::Preset),
                   Text(PracticeTexts::Tempo), Text(PracticeTexts::BeatType), Text(PracticeTexts::Minutes),
                   Text(PracticeTexts::Trainer)},
                  static_cast<int>(runs.size()));
    _runs->setObjectName(QStringLiteral("PracticeRuns"));
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const Configuration::PracticeRun& run = runs[runs.size() - 1 - i];
        const int row = static_cast<int>(i);
        Set(_runs, row, 0, Date(run.year, run.month, run.day));
        Set(_runs, row, 1,
            QStringLiteral("%1:%2").arg(run.hour, 2, 10, QLatin1Char('0')).arg(run.minute, 2, 10, QLatin1Char('0')));
        Set(_runs, row, 2, QString::fromUtf8(run.preset.data(), static_cast<qsizetype>(run.preset.size())));
        Set(_runs, row, 3, QString::number(run.tempo), true);
        Set(_runs, row, 4, BeatType(run.beatType));
        Set(_runs, row, 5, Minutes(run.minutes), true);
        if (run.trainerFrom != 0 || run.trainerTo != 0)
            Set(_runs, row, 6, QStringLiteral("%1-%2").arg(run.trainerFrom).arg(run.trainerTo));
    }
    _runs->resizeColumnsToContents();
    (new QVBoxLayout(runsGroup))->addWidget(_runs);

    const std::vector<Configuration::PracticeDay> days = Configuration::PracticeLog::TotalsPerDay(runs);
    auto* daysGroup = new QGroupBox(Text(PracticeTexts::TotalPerDay), this);
    _days = Table(daysGroup, {Text(PracticeTexts::Date), Text(PracticeTexts::Minutes), Text(PracticeTexts::Runs)},
                  static_cast<int>(days.size()));
    _days->setObjectName(QStringLiteral("PracticeDays"));
    for (std::size_t i = 0; i < days.size(); ++i) {
        const int row = static_cast<int>(i);
        Set(_days, row, 0, Date(days[i].year, days[i].month, days[i].day));
        Set(_days, row, 1, Minutes(days[i].minutes), true);
        Set(_days, row, 2, QString::number(days[i].runs), true);
    }
    _days->resizeColumnsToContents();
    // The totals are shown whole; the runs take the rest of the width.
    int daysWidth = _days->frameWidth() * 2 + _days->verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < _days->columnCount(); ++column)
        daysWidth += _days->columnWidth(column);
    _days->setMinimumWidth(daysWidth);
    (new QVBoxLayout(daysGroup))->addWidget(_days);

    _problem = new QLabel(this);
    _problem->setWordWrap(true);
    QStringList problems;
    if (partial)
        problems << Text(NoticeTexts::PracticeLogPart).arg(Configuration::PracticeLog::ReadLimit >> 20);
    if (skipped > 0)
        problems << Text(PracticeTexts::Damaged).arg(skipped);
    _problem->setText(problems.join(u' '));
    _problem->setVisible(!problems.isEmpty());

    auto* buttons = DialogButtons::Box(this, QDialogButtonBox::Close);

    auto* tables = new QHBoxLayout;
    tables->addWidget(runsGroup, 3);
    tables->addWidget(daysGroup, 0);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tables);
    layout->addWidget(_problem);
    layout->addWidget(buttons);
    resize(860, 380);
    _runs->setFocus();
}

QString PracticeLogDialog::Problem() const
{
    return _problem->text();
}

}  // namespace GUI
