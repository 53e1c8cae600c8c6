#include "print_vector.h"

#include <charconv>
#include <cstddef>

void printVector(const std::vector<std::int32_t>& values, std::ostream& out) {
    // The numbers go to the stream in large blocks: formatting each through the stream would
    // cost a sentry and a facet call a number.
    constexpr std::size_t kBlock = 16384;
    constexpr std::size_t kLongest = sizeof "-2147483648";  // with its space
    char block[kBlock];
    char* next = block;
    for (const std::int32_t value : values) {
        if (next > block + (kBlock - kLongest)) {
            out.write(block, next - block);
            next = block;
        }
        next = std::to_chars(next, block + kBlock, value).ptr;
        *next++ = ' ';
    }
    out.write(block, next - block);
    out << std::endl;
}
