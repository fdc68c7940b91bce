#include "CliReporter.h"

#include "app/Messages.h"

#include <algorithm>
#include <ostream>
#include <string>

namespace kuvrion::cli {

namespace {
constexpr int kBarWidth = 30;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
} // namespace

void CliReporter::ShowStatus(std::int32_t state)
{
    m_state = state;
    m_value = 0;
    if (state == 0) {
        FinishProgress();
    } else {
        Draw(true);
    }
}

void CliReporter::SetProgressMaximum(double max)
{
    m_max = max;
}

void CliReporter::SetProgressValue(double value)
{
    m_value = value;
    Draw(false);
}

void CliReporter::ShowNotice(const std::string& text)
{
    FinishProgress();
    m_err << "kuvrion-cli: " << text << '\n' << std::flush;
}

void CliReporter::Draw(bool force)
{
    if (!m_progress || m_state == 0) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - m_lastDraw < kRedrawInterval) {
        return;
    }
    m_lastDraw = now;
    const double share = m_max > 0 ? std::clamp(m_value / m_max, 0.0, 1.0) : 0.0;
    const int filled = static_cast<int>(share * kBarWidth);
    const std::string bar = std::string(StatusText(m_state)) + " [" +
                            std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(kBarWidth - filled), '-') + "] " +
                            std::to_string(static_cast<int>(share * 100)) + " %";
    m_err << '\r' << bar;
    if (m_escapes) {
        m_err << "\x1b[K";
    } else if (bar.size() < m_width) {
        m_err << std::string(m_width - bar.size(), ' ');
    }
    m_err << std::flush;
    m_width = bar.size();
    m_drawn = true;
}

void CliReporter::FinishProgress()
{
    if (m_drawn) {
        if (m_escapes) {
            m_err << "\r\x1b[K";
        } else {
            m_err << '\r' << std::string(m_width, ' ') << '\r';
        }
        m_err << std::flush;
        m_drawn = false;
        m_width = 0;
    }
}

} // namespace kuvrion::cli
