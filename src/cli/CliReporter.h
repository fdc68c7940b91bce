// The command-line tool's view of a running command: a progress bar on a terminal. The command's
// message comes with its outcome, so the reporter leaves messages alone.
#pragma once

#include "app/Reporter.h"

#include <chrono>
#include <iosfwd>

namespace kuvrion::cli {

class CliReporter : public Reporter {
public:
    // Without `escapes` the bar is redrawn with blanks over the old one instead of clearing the
    // line with an escape sequence.
    CliReporter(std::ostream& err, bool progress, bool escapes = true)
        : m_err(err), m_progress(progress), m_escapes(escapes)
    {
    }

    void ShowStatus(std::int32_t state) override;
    void SetProgressMaximum(double max) override;
    void SetProgressValue(double value) override;
    void ShowNotice(const std::string& text) override;

    // Clears the progress bar line, if one is drawn.
    void FinishProgress();

private:
    void Draw(bool force);

    std::ostream& m_err;
    bool m_progress;
    bool m_escapes;
    bool m_drawn = false;
    std::size_t m_width = 0; // bytes of the bar drawn last
    std::int32_t m_state = 0;
    double m_max = 0;
    double m_value = 0;
    std::chrono::steady_clock::time_point m_lastDraw{};
};

} // namespace kuvrion::cli
