#pragma once

// What the processor and the operating system together support, asked once at run time so one
// binary runs on any x86-64 machine. On other architectures every answer is false.
struct CpuFeatures {
    bool avx2 = false;
    bool avx512 = false;  // AVX-512 Foundation
};

const CpuFeatures& cpuFeatures();
