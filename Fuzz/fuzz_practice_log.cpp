// The practice log: arbitrary bytes are read; nothing may crash, hang or trip the sanitizers,
// and every run read is written as a line that reads back as the same run.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "Configuration/PracticeLog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<Configuration::PracticeRun> runs;
    Configuration::PracticeLog::Parse(std::string_view(reinterpret_cast<const char*>(data), size), runs);
    for (const Configuration::PracticeRun& run : runs) {
        // Line breaks in the texts are written as spaces; everything else comes back as it was.
        Configuration::PracticeRun expected = run;
        for (std::string* text : {&expected.preset, &expected.beatType})
            for (char& c : *text)
                if (c == '\r')
                    c = ' ';
        std::vector<Configuration::PracticeRun> again;
        if (Configuration::PracticeLog::Parse(Configuration::PracticeLog::Line(run), again) != 0 || again.size() != 1)
            std::abort();
        // Minutes are written to two decimals.
        expected.minutes = again[0].minutes;
        if (!(again[0] == expected))
            std::abort();
    }
    Configuration::PracticeLog::TotalsPerDay(runs);
    return 0;
}
