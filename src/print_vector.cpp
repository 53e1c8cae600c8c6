#include "print_vector.h"

void printVector(const std::vector<std::int32_t>& values, std::ostream& out) {
    for (const std::int32_t value : values) {
        out << value << ' ';
    }
    out << std::endl;
}
