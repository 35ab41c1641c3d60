#pragma once

#include <chrono>
#include <cstddef>
#include <ostream>
#include <string>

namespace kelvora {

// The line a run keeps up to date on standard error when that is a terminal and no per-file
// lines tell how far it has come: files done of all, outputs, failures, rate and time left.
class CProgressLine {
  public:
    CProgressLine(std::ostream& err, bool shown, size_t total);

    bool Shown() const { return m_shown; }
    // Draws the line again with these figures (at most ten times a second, unless `now`).
    void Update(size_t done, size_t outputs, size_t failed, bool now = false);
    // Takes the line away for other text; the next Update draws it again.
    void Clear();
    // Leaves these last figures on a line of their own.
    void Finish(size_t done, size_t outputs, size_t failed);

    // The line's text after `seconds`.
    static std::string Text(size_t done, size_t total, size_t outputs, size_t failed,
                            double seconds);

  private:
    std::ostream& m_err;
    bool m_shown;
    size_t m_total;
    bool m_drawn = false;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_last;
    size_t m_done = 0, m_outputs = 0, m_failed = 0;
};

}  // namespace kelvora
