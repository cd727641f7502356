#pragma once

#include <QString>
#include <string>

class QWidget;

namespace Configuration {
struct ReadReport;
}

namespace GUI::FileMessages {

// What the reading of a settings file could not take in and where the file as it was is kept,
// in the language of the moment; empty when the whole file was read.
QString ReadProblem(const Configuration::ReadReport& report);

// Tells the user, in one message box, what the readings of the two settings files could not
// take in (nothing when both were read whole).
void TellReadProblems(QWidget* owner, const Configuration::ReadReport& configuration,
                      const Configuration::ReadReport& extras);

// A failed save, for the user: `problem` is the folder and the reason.
QString SaveFailed(const std::string& problem);

}  // namespace GUI::FileMessages
