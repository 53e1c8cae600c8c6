#pragma once

#include <string>
#include <vector>

// What this core does a cycle, measured in the same run as the kernels so that their speed can
// be read against it: the clock, from a chain of dependent register adds (one a cycle on every
// core we know; Intel's newer cores eliminate chains of add-immediate, so the add is of a
// register), and, for each register width the kernels use, how many independent vector
// instructions of a kind issue a cycle (twelve chains of one instruction each).
struct IssueRate {
    std::string isa;          // the kernels' instruction set: sse41, avx2, avx512, neon
    std::string instruction;  // as the assembler spells it
    std::string kind;         // min/max of 32-, 16- or 8-bit lanes ("min32"...), or "logic"
    double perCycle = 0;      // the fastest of several runs
};

struct MachineRates {
    double clockGHz = 0;  // 0 where the probes do not run (another architecture or compiler)
    std::vector<IssueRate> rates;

    // The rate of a kind of instruction in an instruction set's registers; 0 when not measured.
    double perCycle(const std::string& isa, const std::string& kind) const;
};

// Measures this machine: the probes of every instruction set the processor runs. Takes a
// fraction of a second.
MachineRates measureMachineRates();
