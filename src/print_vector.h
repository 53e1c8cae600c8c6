#pragma once

#include <cstdint>
#include <iostream>
#include <vector>

// Writes every value followed by one space, then ends the line and flushes, so the line is on
// the console by the time this returns.
void printVector(const std::vector<std::int32_t>& values, std::ostream& out = std::cout);
