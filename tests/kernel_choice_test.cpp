// The processor check and the choice of kernel, for machines unlike this one too: a wrong answer
// either crashes with an illegal instruction or silently gives up the vector kernels.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "bubble_sort/cpu_features.h"
#include "bubble_sort/kernels.h"

namespace {

constexpr std::uint32_t kSse41 = 1u << 19;
constexpr std::uint32_t kOsxsave = 1u << 27;
constexpr std::uint32_t kAvx = 1u << 28;
constexpr std::uint32_t kAvx2 = 1u << 5;
constexpr std::uint32_t kAvx512 = 1u << 16;
constexpr std::uint64_t kYmmState = 0x7;   // x87, SSE and AVX registers saved
constexpr std::uint64_t kZmmState = 0xe7;  // and the opmask and ZMM registers

struct DecodeCase {
    const char* name;
    CpuidValues machine;  // what its cpuid and xgetbv would answer
    bool sse41;
    bool avx2;
    bool avx512;
};

class DecodeTable : public ::testing::TestWithParam<DecodeCase> {};

// The machine's answers are read through stand-ins for the instructions, which fail the test
// when asked for a leaf beyond the highest or for xgetbv without OSXSAVE (where it would fault).
TEST_P(DecodeTable, ReadsOnlyWhatTheMachineAnswersAndGivesWhatItSupports) {
    const CpuidValues& machine = GetParam().machine;
    const CpuidInstructions standIns{
        [&](std::uint32_t leaf) {
            EXPECT_LE(leaf, machine.highestLeaf) << "cpuid leaf " << leaf;
            return leaf == 0   ? machine.highestLeaf
                   : leaf == 1 ? machine.leaf1Ecx
                               : machine.leaf7Ebx;
        },
        [&] {
            EXPECT_NE(machine.leaf1Ecx & kOsxsave, 0u) << "xgetbv without OSXSAVE";
            return machine.xcr0;
        }};
    const CpuFeatures features = decodeCpuFeatures(readCpuid(standIns));
    EXPECT_EQ(features.sse41, GetParam().sse41);
    EXPECT_EQ(features.avx2, GetParam().avx2);
    EXPECT_EQ(features.avx512, GetParam().avx512);
}

constexpr std::uint32_t kAvxOs = kSse41 | kOsxsave | kAvx;

INSTANTIATE_TEST_SUITE_P(
    Recorded, DecodeTable,
    ::testing::Values(
        DecodeCase{"all", {13, kAvxOs, kAvx2 | kAvx512, kZmmState}, true, true, true},
        DecodeCase{"avx2WithoutAvx512", {13, kAvxOs, kAvx2, kZmmState}, true, true, false},
        DecodeCase{"highestLeafSeven", {7, kAvxOs, kAvx2, kYmmState}, true, true, false},
        DecodeCase{
            "avx512WithoutZmmState", {13, kAvxOs, kAvx2 | kAvx512, kYmmState}, true, true, false},
        DecodeCase{"avx512WithoutOpmaskState",
                   {13, kAvxOs, kAvx2 | kAvx512, kZmmState & ~0x20u},
                   true,
                   true,
                   false},
        DecodeCase{"avx2WithoutYmmState", {13, kAvxOs, kAvx2 | kAvx512, 0x3}, true, false, false},
        DecodeCase{"avxWithoutOsxsave",
                   {13, kSse41 | kAvx, kAvx2 | kAvx512, kZmmState},
                   true,
                   false,
                   false},
        DecodeCase{
            "noAvx", {13, kSse41 | kOsxsave, kAvx2 | kAvx512, kZmmState}, true, false, false},
        DecodeCase{"noLeaf7", {6, kAvxOs, kAvx2 | kAvx512, kZmmState}, true, false, false},
        DecodeCase{"sse42NoAvx", {11, kSse41 | (1u << 20), 0, 0}, true, false, false},
        DecodeCase{"core2NoSse41", {10, 0x0000e3bd, 0, 0}, false, false, false},
        DecodeCase{"highestLeafOne", {1, kSse41, 0, 0}, true, false, false},
        DecodeCase{"leaf0Only", {0, kAvxOs, kAvx2, kYmmState}, false, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

// The kernel list's entry for a kernel; a name that says so for one not in the list.
KernelInfo listed(BubbleSortKernel kernel) {
    for (const KernelInfo& info : bubbleSortKernels()) {
        if (info.sort == kernel) {
            return info;
        }
    }
    return {"not in the kernel list", kernel, false};
}

struct ChoiceCase {
    const char* name;
    CpuFeatures features;
    std::int32_t n;
    const char* onX86;  // the kernel chosen on x86-64
    const char* onArm;  // on 64-bit ARM; elsewhere always the scalar one
};

class ChoiceTable : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(ChoiceTable, PicksTheFastestKernelTheProcessorRuns) {
    const ChoiceCase& c = GetParam();
#if defined(__x86_64__) || defined(_M_X64)
    const std::string expected = c.onX86;
#elif defined(__aarch64__) || defined(_M_ARM64)
    const std::string expected = c.onArm;
#else
    const std::string expected = "scalar";
#endif
    EXPECT_EQ(std::string(listed(chooseBubbleSortKernel(c.features, c.n)).name), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Machines, ChoiceTable,
    ::testing::Values(
        ChoiceCase{"avx2Only", {true, false, true}, kVectorCutoff, "avx2", "neon"},
        ChoiceCase{
            "avx2OnlyBelowCutoff", {true, false, true}, kVectorCutoff - 1, "scalar", "scalar"},
        ChoiceCase{"both", {true, true, true}, kAvx512Cutoff, "avx512", "neon"},
        ChoiceCase{"bothBelowAvx512Cutoff", {true, true, true}, kAvx512Cutoff - 1, "avx2", "neon"},
        ChoiceCase{"bothBelowCutoff", {true, true, true}, kVectorCutoff - 1, "scalar", "scalar"},
        ChoiceCase{"avx512WithoutAvx2", {false, true, true}, kVectorCutoff, "avx512", "neon"},
        ChoiceCase{"sse41Only", {false, false, true}, kVectorCutoff, "sse41", "neon"},
        ChoiceCase{
            "sse41OnlyBelowCutoff", {false, false, true}, kVectorCutoff - 1, "scalar", "scalar"},
        ChoiceCase{"none", {false, false, false}, 100000, "scalar", "neon"},
        ChoiceCase{"empty", {true, true, true}, 0, "scalar", "scalar"}),
    [](const auto& info) { return std::string(info.param.name); });

// This machine's features agree with the compiler's own check, and its choice is one it can run.
TEST(ThisMachine, DetectsWhatTheCompilerDetects) {
#if (defined(__x86_64__) || defined(_M_X64)) && (defined(__GNUC__) || defined(__clang__))
    __builtin_cpu_init();
    EXPECT_EQ(cpuFeatures().avx2, __builtin_cpu_supports("avx2") != 0);
    EXPECT_EQ(cpuFeatures().avx512, __builtin_cpu_supports("avx512f") != 0);
    EXPECT_EQ(cpuFeatures().sse41, __builtin_cpu_supports("sse4.1") != 0);
#endif
    for (const std::int32_t n : {0, 10, 100, 1000, 100000}) {
        EXPECT_EQ(chooseBubbleSortKernel(n), chooseBubbleSortKernel(cpuFeatures(), n)) << n;
        EXPECT_TRUE(listed(chooseBubbleSortKernel(n)).supported) << n;
    }
}

// Under an emulated processor the test command names the kernel its features call for.
TEST(ThisMachine, ChoosesTheKernelExpectedOfIt) {
    const char* expected = std::getenv("SORTDEMO_EXPECTED_KERNEL");
    if (expected == nullptr) {
        GTEST_SKIP() << "SORTDEMO_EXPECTED_KERNEL names no kernel for this processor";
    }
    EXPECT_EQ(std::string(listed(chooseBubbleSortKernel(65536)).name), expected);
}

// A kernel missing from the list would silently drop out of the kernel tests too.
TEST(ThisMachine, ListsEveryKernelBuiltIn) {
    std::vector<std::string> names;
    for (const KernelInfo& kernel : bubbleSortKernels()) {
        names.emplace_back(kernel.name);
    }
#if defined(__x86_64__) || defined(_M_X64)
    EXPECT_EQ(names, (std::vector<std::string>{"scalar", "sse41", "avx2", "avx512"}));
#elif defined(__aarch64__) || defined(_M_ARM64)
    EXPECT_EQ(names, (std::vector<std::string>{"scalar", "neon"}));
#else
    EXPECT_EQ(names, (std::vector<std::string>{"scalar"}));
#endif
}

}  // namespace
