#include "cli/ProgressLine.h"

#include <cmath>

#include "engine/TextFormat.h"

namespace kelvora {

namespace {

std::string Duration(double seconds) {
    const auto s = static_cast<unsigned long long>(std::llround(seconds));
    if (s >= 3600) {
        return Format("%llu:%02llu:%02llu", s / 3600, s / 60 % 60, s % 60);
    }
    return Format("%llu:%02llu", s / 60, s % 60);
}

}  // namespace

CProgressLine::CProgressLine(std::ostream& err, bool shown, size_t total)
    : m_err(err),
      m_shown(shown),
      m_total(total),
      m_start(std::chrono::steady_clock::now()),
      m_last(m_start) {}

std::string CProgressLine::Text(size_t done, size_t total, size_t outputs, size_t failed,
                                double seconds) {
    std::string text = Format("%zu/%zu files, %zu outputs, %zu failed", done, total, outputs,
                              failed);
    if (done > 0 && seconds > 0) {
        const double rate = static_cast<double>(done) / seconds;
        text += Format(", %.1f files/s, %s left", rate,
                       Duration(static_cast<double>(total - done) / rate).c_str());
    }
    return text;
}

void CProgressLine::Update(size_t done, size_t outputs, size_t failed, bool now) {
    if (!m_shown) {
        return;
    }
    const auto time = std::chrono::steady_clock::now();
    const bool changed = done != m_done || outputs != m_outputs || failed != m_failed;
    if (m_drawn && !now && (!changed || time - m_last < std::chrono::milliseconds(100))) {
        return;
    }
    m_done = done;
    m_outputs = outputs;
    m_failed = failed;
    m_last = time;
    const double seconds = std::chrono::duration<double>(time - m_start).count();
    // Back to the line's start, the figures, and the rest of the old line cleared.
    m_err << '\r' << Text(done, m_total, outputs, failed, seconds) << "\033[K";
    m_err.flush();
    m_drawn = true;
}

void CProgressLine::Clear() {
    if (m_shown && m_drawn) {
        m_err << "\r\033[K";
        m_err.flush();
        m_drawn = false;
    }
}

void CProgressLine::Finish(size_t done, size_t outputs, size_t failed) {
    if (!m_shown) {
        return;
    }
    Update(done, outputs, failed, true);
    m_err << '\n';
    m_err.flush();
    m_drawn = false;
}

}  // namespace kelvora
