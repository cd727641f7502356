#pragma once

#include <QDialog>

class QLabel;
class QTableWidget;

namespace Configuration {
class PracticeLog;
}

namespace GUI {

// The practice log as a table of runs, the newest first, beside the time practised per day.
class PracticeLogDialog final : public QDialog {
    Q_OBJECT
public:
    PracticeLogDialog(const Configuration::PracticeLog& log, QWidget* parent = nullptr);

    QTableWidget* RunsTable() const { return _runs; }
    QTableWidget* DaysTable() const { return _days; }
    // Says how many damaged lines were skipped; empty when none were.
    QString Problem() const;

private:
    QTableWidget* _runs = nullptr;
    QTableWidget* _days = nullptr;
    QLabel* _problem = nullptr;
};

}  // namespace GUI
