#pragma once

#include <cstdint>

// Told how far a long sort has come. The sort calls it between groups of passes, never inside
// its hot loops, and only when someone is watching: otherwise it gets no object at all.
class SortProgress {
  public:
    // Every pass that needs more than a[0..length) has run; what is left is to sort that prefix.
    virtual void unsortedPrefix(std::int32_t length) = 0;

  protected:
    ~SortProgress() = default;
};
