#pragma once

#include <cstddef>

namespace kelvora::test {

// Counts the bytes the program holds through operator new (every std::vector, string and
// unique_ptr buffer), so that a test can bound what an operation costs in memory. Linking this
// file replaces the global operator new and delete of the test program.
class HeapMeter {
  public:
    // Starts a measurement: the peak is set to what is held now.
    HeapMeter();
    // The most bytes held at once since the start, above what was held at the start.
    size_t PeakAbove() const;

  private:
    size_t m_start;
};

}  // namespace kelvora::test
