#include "GUI/FileMessages.h"

#include <QMessageBox>

#include "Configuration/ReadReport.h"
#include "GUI/FileTexts.h"
#include "GUI/LanguageTexts.h"
#include "GUI/MessageBoxes.h"
#include "System/ILanguage.h"

namespace GUI::FileMessages {

namespace {

QString Text(int number)
{
    return LanguageTexts::Text(System::CurrentLanguage().GetText(number));
}

QString Path(const std::string& path)
{
    return QString::fromStdString(path);
}

}  // namespace

QString ReadProblem(const Configuration::ReadReport& report)
{
    if (!report.Any())
        return {};
    const QString file = Path(report.file);
    QStringList parts;
    if (report.stoppedLine > 0)
        parts << Text(FileTexts::StoppedReading)
                     .arg(file, QString::number(report.stoppedLine), QString::fromUtf8(report.stoppedText));
    if (report.tooLarge > 0)
        parts << Text(FileTexts::TooLarge).arg(file, QString::number(report.tooLarge >> 20));
    if (!report.unreadable.empty())
        parts << Text(FileTexts::Unreadable).arg(file, QString::fromStdString(report.unreadable));
    if (report.duplicatePresets > 0)
        parts << Text(FileTexts::DuplicatePresets).arg(file, QString::number(report.duplicatePresets));
    if (report.skippedLines > 0)
        parts << Text(FileTexts::SkippedLines).arg(file, QString::number(report.skippedLines));
    parts << Text(report.backupKept ? FileTexts::BackupKept : FileTexts::BackupNotKept).arg(Path(report.backup));
    return parts.join(QStringLiteral("\n\n"));
}

void TellReadProblems(QWidget* owner, const Configuration::ReadReport& configuration,
                      const Configuration::ReadReport& extras)
{
    QStringList problems;
    for (const Configuration::ReadReport* report : {&configuration, &extras})
        if (const QString problem = ReadProblem(*report); !problem.isEmpty())
            problems << problem;
    if (!problems.isEmpty())
        MessageBoxes::Show(owner, QMessageBox::Warning, Text(0), problems.join(QStringLiteral("\n\n")));
}

QString SaveFailed(const std::string& problem)
{
    return Text(FileTexts::SaveFailed).arg(QString::fromStdString(problem));
}

}  // namespace GUI::FileMessages
