#include "GUI/PracticeLogDialog.h"
#include "GUI/DialogButtons.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "Configuration/PracticeLog.h"
#include "GUI/CoachTexts.h"
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

constexpr int TimingColumn = 7;

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

// The width that shows every column of `table` whole.
int WholeWidth(const QTableWidget& table)
{
    int width = table.frameWidth() * 2 + table.verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < table.columnCount(); ++column)
        if (!table.isColumnHidden(column))
            width += table.columnWidth(column);
    return width;
}

// How a run the timing coach heard was played, from column `column` on; nothing for the others.
void SetTiming(QTableWidget* table, int row, int column, const Configuration::PracticeRun& run)
{
    if (!run.timed)
        return;
    const Configuration::PracticeTiming& timing = run.timing;
    Set(table, row, column, QString::number(timing.meanMs, 'f', 1), true);
    Set(table, row, column + 1, QString::number(timing.deviationMs, 'f', 1), true);
    Set(table, row, column + 2, QString::number(timing.driftMsPer30s, 'f', 1), true);
    Set(table, row, column + 3, QStringLiteral("%1 / %2 / %3").arg(timing.hits).arg(timing.misses).arg(timing.extras),
        true);
}

// The runs, the newest first.
QTableWidget* MakeRunsTable(QWidget* parent, const std::vector<Configuration::PracticeRun>& runs)
{
    auto* table = Table(parent,
                        {Text(PracticeTexts::Date), Text(PracticeTexts::Time), Text(PracticeTexts::Preset),
                         Text(PracticeTexts::Tempo), Text(PracticeTexts::BeatType), Text(PracticeTexts::Minutes),
                         Text(PracticeTexts::Trainer), CoachTexts::Text(CoachTexts::LogMean),
                         CoachTexts::Text(CoachTexts::LogConsistency), CoachTexts::Text(CoachTexts::LogDrift),
                         CoachTexts::Text(CoachTexts::LogHits)},
                        static_cast<int>(runs.size()));
    table->setObjectName(QStringLiteral("PracticeRuns"));
    // The timing's units go on a line of their own, so that its columns stay narrow.
    for (int column = TimingColumn; column < table->columnCount(); ++column)
        if (QTableWidgetItem* heading = table->horizontalHeaderItem(column))
            heading->setText(heading->text().replace(QStringLiteral(" ("), QStringLiteral("\n(")));
    bool timed = false;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const Configuration::PracticeRun& run = runs[runs.size() - 1 - i];
        const int row = static_cast<int>(i);
        Set(table, row, 0, Date(run.year, run.month, run.day));
        Set(table, row, 1,
            QStringLiteral("%1:%2").arg(run.hour, 2, 10, QLatin1Char('0')).arg(run.minute, 2, 10, QLatin1Char('0')));
        Set(table, row, 2, QString::fromUtf8(run.preset.data(), static_cast<qsizetype>(run.preset.size())));
        Set(table, row, 3, QString::number(run.tempo), true);
        Set(table, row, 4, BeatType(run.beatType));
        Set(table, row, 5, Minutes(run.minutes), true);
        if (run.trainerFrom != 0 || run.trainerTo != 0)
            Set(table, row, 6, QStringLiteral("%1-%2").arg(run.trainerFrom).arg(run.trainerTo));
        SetTiming(table, row, TimingColumn, run);
        timed = timed || run.timed;
    }
    // A log without a run the coach heard shows no timing columns at all.
    for (int column = TimingColumn; column < table->columnCount(); ++column)
        table->setColumnHidden(column, !timed);
    table->resizeColumnsToContents();
    return table;
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
    _runs = MakeRunsTable(runsGroup, runs);
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
    const int daysWidth = WholeWidth(*_days);
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
    // Wide enough for every run's column where the screen has room.
    int width = WholeWidth(*_runs) + daysWidth + 64;  // and the group boxes and margins around them
    if (const QScreen* shown = screen(); shown != nullptr && shown->availableGeometry().width() > 860)
        width = std::min(width, shown->availableGeometry().width());
    resize(std::max(860, width), 380);
    _runs->setFocus();
}

QString PracticeLogDialog::Problem() const
{
    return _problem->text();
}

}  // namespace GUI
