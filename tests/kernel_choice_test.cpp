// The processor check and the choice of kernel, for machines unlike this one too: a wrong answer
// either crashes with an illegal instruction or silently gives up the vector kernels.
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "bubble_sort/cpu_features.h"
#include "bubble_sort/kernels.h"

namespace {

constexpr std::uint32_t kSse41 = 1u << 19;
constexpr std::uint32_t kOsxsave = 1u << 27;
constexpr std::uint32_t kAvx = 1u << 28;
constexpr std::uint32_t kAvx2 = 1u << 5;
// AVX-512 F, DQ, CD, BW and VL: the AVX-512 kernels need all five.
constexpr std::uint32_t kAvx512F = 1u << 16;
constexpr std::uint32_t kAvx512Dq = 1u << 17;
constexpr std::uint32_t kAvx512Cd = 1u << 28;
constexpr std::uint32_t kAvx512Bw = 1u << 30;
constexpr std::uint32_t kAvx512Vl = 1u << 31;
constexpr std::uint32_t kAvx512 = kAvx512F | kAvx512Dq | kAvx512Cd | kAvx512Bw | kAvx512Vl;
constexpr std::uint32_t kVbmi = 1u << 1;   // leaf 7's ecx
constexpr std::uint64_t kYmmState = 0x7;   // x87, SSE and AVX registers saved
constexpr std::uint64_t kZmmState = 0xe7;  // and the opmask and ZMM registers

struct DecodeCase {
    const char* name;
    CpuidValues machine;  // what its cpuid and xgetbv would answer
    bool sse41;
    bool avx2;
    bool avx512;
    bool avx512LogicMax = false;
    bool avx512HalfWidth = false;
    bool avx512Vbmi = false;
};

class DecodeTable : public ::testing::TestWithParam<DecodeCase> {};

// The machine's answers are read through stand-ins for the instructions, which fail the test
// when asked for a leaf beyond the highest or for xgetbv without OSXSAVE (where it would fault).
TEST_P(DecodeTable, ReadsOnlyWhatTheMachineAnswersAndGivesWhatItSupports) {
    const CpuidValues& machine = GetParam().machine;
    const CpuidInstructions standIns{
        [&](std::uint32_t leaf) {
            EXPECT_LE(leaf, machine.highestLeaf) << "cpuid leaf " << leaf;
            CpuidResult r;
            if (leaf == 0) {
                r.eax = machine.highestLeaf;
                // "GenuineIntel", "AuthenticAMD", or another vendor's
                r.ebx = machine.intel ? 0x756e6547 : machine.amd ? 0x68747541 : 0x6f677948;
                r.edx = machine.intel ? 0x49656e69 : machine.amd ? 0x69746e65 : 0x6e65476e;
                r.ecx = machine.intel ? 0x6c65746e : machine.amd ? 0x444d4163 : 0x656e6975;
            }
            r.eax = leaf == 1 ? machine.leaf1Eax : r.eax;
            r.ecx = leaf == 1 ? machine.leaf1Ecx : r.ecx;
            r.ebx = leaf == 7 ? machine.leaf7Ebx : r.ebx;
            r.ecx = leaf == 7 ? machine.leaf7Ecx : r.ecx;
            return r;
        },
        [&] {
            EXPECT_NE(machine.leaf1Ecx & kOsxsave, 0u) << "xgetbv without OSXSAVE";
            return machine.xcr0;
        }};
    const CpuFeatures features = decodeCpuFeatures(readCpuid(standIns));
    EXPECT_EQ(features.sse41, GetParam().sse41);
    EXPECT_EQ(features.avx2, GetParam().avx2);
    EXPECT_EQ(features.avx512, GetParam().avx512);
    EXPECT_EQ(features.avx512LogicMax, GetParam().avx512LogicMax);
    EXPECT_EQ(features.avx512HalfWidth, GetParam().avx512HalfWidth);
    EXPECT_EQ(features.avx512Vbmi, GetParam().avx512Vbmi);
}

constexpr std::uint32_t kAvxOs = kSse41 | kOsxsave | kAvx;
// cpuid leaf 1's eax of an EPYC 9004 (family 0xf + 0xa, model 0x11) and of an EPYC 9005 (0xf +
// 0xb).
constexpr std::uint32_t kZen4 = 0x00a10f11;
constexpr std::uint32_t kZen5 = 0x00b00f21;

INSTANTIATE_TEST_SUITE_P(
    Recorded, DecodeTable,
    ::testing::Values(
        DecodeCase{"all", {13, kAvxOs, kAvx2 | kAvx512, kZmmState}, 1, 1, 1},
        // Intel's: the larger of a pair from a three-input logic instruction.
        DecodeCase{"allIntel", {13, kAvxOs, kAvx2 | kAvx512, kZmmState, true}, 1, 1, 1, 1},
        DecodeCase{"avx2Intel", {13, kAvxOs, kAvx2, kZmmState, true}, 1, 1, 0, 0},
        // AMD's family 0x19 runs AVX-512 in two halves (Zen 4); 0x1a does not (Zen 5).
        DecodeCase{
            "zen4", {13, kAvxOs, kAvx2 | kAvx512, kZmmState, false, true, kZen4}, 1, 1, 1, 0, 1},
        DecodeCase{
            "zen5", {13, kAvxOs, kAvx2 | kAvx512, kZmmState, false, true, kZen5}, 1, 1, 1, 0, 0},
        DecodeCase{"zen5Vbmi",
                   {13, kAvxOs, kAvx2 | kAvx512, kZmmState, false, true, kZen5, kVbmi},
                   1,
                   1,
                   1,
                   0,
                   0,
                   1},
        DecodeCase{
            "vbmiWithoutAvx512",
            {13, kAvxOs, kAvx2 | (kAvx512 & ~kAvx512Bw), kZmmState, false, true, kZen5, kVbmi},
            1,
            1,
            0},
        DecodeCase{"family19NotAmd",
                   {13, kAvxOs, kAvx2 | kAvx512, kZmmState, false, false, kZen4},
                   1,
                   1,
                   1,
                   0,
                   0},
        DecodeCase{"zen3", {13, kAvxOs, kAvx2, kYmmState, false, true, kZen4}, 1, 1, 0, 0, 0},
        // A compiler told to target AVX-512 may use any of the five: one missing is none.
        DecodeCase{"avx512FOnly", {13, kAvxOs, kAvx2 | kAvx512F, kZmmState}, 1, 1, 0},
        DecodeCase{
            "avx512WithoutDq", {13, kAvxOs, kAvx2 | (kAvx512 & ~kAvx512Dq), kZmmState}, 1, 1, 0},
        DecodeCase{
            "avx512WithoutCd", {13, kAvxOs, kAvx2 | (kAvx512 & ~kAvx512Cd), kZmmState}, 1, 1, 0},
        DecodeCase{
            "avx512WithoutBw", {13, kAvxOs, kAvx2 | (kAvx512 & ~kAvx512Bw), kZmmState}, 1, 1, 0},
        DecodeCase{
            "avx512WithoutVl", {13, kAvxOs, kAvx2 | (kAvx512 & ~kAvx512Vl), kZmmState}, 1, 1, 0},
        DecodeCase{
            "avx512WithoutF", {13, kAvxOs, kAvx2 | (kAvx512 & ~kAvx512F), kZmmState}, 1, 1, 0},
        DecodeCase{"avx512WithoutAvx2", {13, kAvxOs, kAvx512, kZmmState}, 1, 0, 0},
        DecodeCase{"avx2WithoutAvx512", {13, kAvxOs, kAvx2, kZmmState}, 1, 1, 0},
        DecodeCase{"highestLeafSeven", {7, kAvxOs, kAvx2, kYmmState}, 1, 1, 0},
        DecodeCase{"avx512WithoutZmmState", {13, kAvxOs, kAvx2 | kAvx512, kYmmState}, 1, 1, 0},
        DecodeCase{
            "avx512WithoutOpmaskState", {13, kAvxOs, kAvx2 | kAvx512, kZmmState & ~0x20u}, 1, 1, 0},
        DecodeCase{"avx2WithoutYmmState", {13, kAvxOs, kAvx2 | kAvx512, 0x3}, 1, 0, 0},
        DecodeCase{"avxWithoutOsxsave", {13, kSse41 | kAvx, kAvx2 | kAvx512, kZmmState}, 1, 0, 0},
        DecodeCase{"noAvx", {13, kSse41 | kOsxsave, kAvx2 | kAvx512, kZmmState}, 1, 0, 0},
        DecodeCase{"noLeaf7", {6, kAvxOs, kAvx2 | kAvx512, kZmmState}, 1, 0, 0},
        DecodeCase{"sse42NoAvx", {11, kSse41 | (1u << 20), 0, 0}, 1, 0, 0},
        DecodeCase{"core2NoSse41", {10, 0x0000e3bd, 0, 0}, 0, 0, 0},
        DecodeCase{"highestLeafOne", {1, kSse41, 0, 0}, 1, 0, 0},
        DecodeCase{"leaf0Only", {0, kAvxOs, kAvx2, kYmmState}, 0, 0, 0}),
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
    int laneBits;       // the values' range fits this many bits
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
    EXPECT_EQ(std::string(listed(chooseBubbleSortKernel(c.features, c.n, c.laneBits)).name),
              expected);
}

constexpr CpuFeatures kAvx2Only{true, false, true};
constexpr CpuFeatures kAll{true, true, true};
constexpr CpuFeatures kAllIntel{true, true, true, true};
constexpr CpuFeatures kZen4Features{true, true, true, false, true};
constexpr CpuFeatures kSse41Only{false, false, true};
constexpr CpuFeatures kZen5Vbmi{true, true, true, false, false, true};
constexpr CpuFeatures kZen4Vbmi{true, true, true, false, true, true};
constexpr CpuFeatures kIntelVbmi{true, true, true, true, false, true};

INSTANTIATE_TEST_SUITE_P(
    Machines, ChoiceTable,
    ::testing::Values(
        ChoiceCase{"avx2Only", kAvx2Only, kVectorCutoff, 32, "avx2/32", "neon/32"},
        ChoiceCase{"avx2OnlyBelowCutoff", kAvx2Only, kVectorCutoff - 1, 32, "scalar", "scalar"},
        ChoiceCase{"both", kAll, kAvx512Cutoff, 32, "avx512/32", "neon/32"},
        ChoiceCase{"intel", kAllIntel, kAvx512Cutoff, 32, "avx512tl/32", "neon/32"},
        ChoiceCase{"intel16", kAllIntel, avx512Cutoff(16), 16, "avx512tl/16", "neon/16"},
        ChoiceCase{"intel8BelowAvx512Cutoff", kAllIntel, avx512Cutoff(8) - 1, 8, "avx2/8",
                   "neon/8"},
        ChoiceCase{"zen4", kZen4Features, kAvx512HalfWidthCutoff, 32, "avx512/32", "neon/32"},
        ChoiceCase{"zen4BelowAvx512Cutoff", kZen4Features, kAvx512HalfWidthCutoff - 1, 32,
                   "avx2/32", "neon/32"},
        ChoiceCase{"zen4Below16", kZen4Features, avx512Cutoff(16, true) - 1, 16, "avx2/16",
                   "neon/16"},
        ChoiceCase{"zen4At8", kZen4Features, avx512Cutoff(8, true), 8, "avx512/8", "neon/8"},
        // The byte permute of VBMI in 8-bit lanes of the min/max set, on full-width cores.
        ChoiceCase{"vbmi8", kZen5Vbmi, avx512Cutoff(8), 8, "avx512vbmi/8", "neon/8"},
        ChoiceCase{"zen4Vbmi8", kZen4Vbmi, avx512Cutoff(8, true), 8, "avx512/8", "neon/8"},
        ChoiceCase{"intelVbmi8", kIntelVbmi, avx512Cutoff(8), 8, "avx512tl/8", "neon/8"},
        ChoiceCase{"bothBelowAvx512Cutoff", kAll, kAvx512Cutoff - 1, 32, "avx2/32", "neon/32"},
        ChoiceCase{"bothBelowCutoff", kAll, kVectorCutoff - 1, 32, "scalar", "scalar"},
        ChoiceCase{"sse41Only", kSse41Only, kVectorCutoff, 32, "sse41/32", "neon/32"},
        ChoiceCase{"sse41OnlyBelowCutoff", kSse41Only, kVectorCutoff - 1, 32, "scalar", "scalar"},
        ChoiceCase{"none", {false, false, false}, 100000, 8, "scalar", "neon/8"},
        ChoiceCase{"empty", kAll, 0, 8, "scalar", "scalar"},
        // Narrow values: the narrowest lanes whose cutoff n reaches.
        ChoiceCase{"all16", kAll, avx512Cutoff(16), 16, "avx512/16", "neon/16"},
        ChoiceCase{"all16BelowAvx512Cutoff", kAll, avx512Cutoff(16) - 1, 16, "avx2/16", "neon/16"},
        ChoiceCase{"all16BelowCutoff", kAll, kVectorCutoff - 1, 16, "scalar", "scalar"},
        ChoiceCase{"all8", kAll, avx512Cutoff(8), 8, "avx512/8", "neon/8"},
        ChoiceCase{"all8BelowAvx512Cutoff", kAll, avx512Cutoff(8) - 1, 8, "avx2/8", "neon/8"},
        ChoiceCase{"all8AtCutoff", kAll, kVectorCutoff, 8, "avx2/8", "neon/8"},
        ChoiceCase{"sse41Only16", kSse41Only, kVectorCutoff, 16, "sse41/16", "neon/16"},
        ChoiceCase{"sse41Only8", kSse41Only, kVectorCutoff, 8, "sse41/8", "neon/8"}),
    [](const auto& info) { return std::string(info.param.name); });

// The narrowest lanes the range of the values fits, without overflow at the ends of the range.
TEST(LaneBits, FitTheRange) {
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    const struct {
        std::int32_t minimum, maximum;
        int laneBits;
    } cases[] = {{5, 5, 8},
                 {-128, 127, 8},
                 {0, 255, 8},
                 {0, 256, 16},
                 {kMin, kMin + 255, 8},
                 {kMax - 255, kMax, 8},
                 {-1, 65534, 16},
                 {-1, 65535, 32},
                 {kMax - 65535, kMax, 16},
                 {kMin, kMin + 65536, 32},
                 {kMin, kMax, 32},
                 {-1, 0, 8}};
    for (const auto& c : cases) {
        EXPECT_EQ(laneBitsFor(c.minimum, c.maximum), c.laneBits) << c.minimum << ".." << c.maximum;
    }
}

// This machine's features agree with the compiler's own check, and its choice is one it can run.
TEST(ThisMachine, DetectsWhatTheCompilerDetects) {
#if (defined(__x86_64__) || defined(_M_X64)) && (defined(__GNUC__) || defined(__clang__))
    __builtin_cpu_init();
    EXPECT_EQ(cpuFeatures().avx2, __builtin_cpu_supports("avx2") != 0);
    EXPECT_EQ(cpuFeatures().avx512,
              __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512cd") &&
                  __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq") &&
                  __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx2"));
    EXPECT_EQ(cpuFeatures().avx512LogicMax, cpuFeatures().avx512 && __builtin_cpu_is("intel"));
    EXPECT_EQ(cpuFeatures().avx512Vbmi,
              cpuFeatures().avx512 && __builtin_cpu_supports("avx512vbmi"));
    if (cpuFeatures().avx512HalfWidth) {
        EXPECT_TRUE(cpuFeatures().avx512 && __builtin_cpu_is("amd"));
    }
    EXPECT_EQ(cpuFeatures().sse41, __builtin_cpu_supports("sse4.1") != 0);
#endif
    for (const std::int32_t n : {0, 10, 100, 1000, 100000}) {
        EXPECT_EQ(chooseBubbleSortKernel(n), chooseBubbleSortKernel(cpuFeatures(), n)) << n;
        EXPECT_TRUE(listed(chooseBubbleSortKernel(n)).supported) << n;
    }
}

// Under an emulated processor the test command names the instruction set its features call
// for, which it must choose in every lane width.
TEST(ThisMachine, ChoosesTheKernelExpectedOfIt) {
    const char* expected = std::getenv("SORTDEMO_EXPECTED_KERNEL");
    if (expected == nullptr) {
        GTEST_SKIP() << "SORTDEMO_EXPECTED_KERNEL names no kernel for this processor";
    }
    for (const int laneBits : {8, 16, 32}) {
        std::string kernel = expected;
        if (kernel != "scalar") {
            kernel += '/';
            kernel += std::to_string(laneBits);
        }
        EXPECT_EQ(listed(chooseBubbleSortKernel(65536, laneBits)).name, kernel);
    }
}

// A kernel missing from the list would silently drop out of the kernel tests too.
TEST(ThisMachine, ListsEveryKernelBuiltIn) {
    std::vector<std::string> names;
    for (const KernelInfo& kernel : bubbleSortKernels()) {
        names.emplace_back(kernel.name);
    }
#if defined(__x86_64__) || defined(_M_X64)
    EXPECT_EQ(names, (std::vector<std::string>{"scalar", "sse41/32", "sse41/16", "sse41/8",
                                               "avx2/32", "avx2/16", "avx2/8", "avx512/32",
                                               "avx512/16", "avx512/8", "avx512tl/32",
                                               "avx512tl/16", "avx512tl/8", "avx512vbmi/8"}));
#elif defined(__aarch64__) || defined(_M_ARM64)
    EXPECT_EQ(names, (std::vector<std::string>{"scalar", "neon/32", "neon/16", "neon/8"}));
#else
    EXPECT_EQ(names, (std::vector<std::string>{"scalar"}));
#endif
}

}  // namespace
