// Compiled for AVX-512 F, CD, BW, DQ and VL; called only after the processor has been checked.
#include "avx512_ops.h"
#include "wavefront.h"

void bubbleSortAvx512(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    wavefront::sort<Avx512Ops<std::int32_t, false>, SORTDEMO_AVX512_REGISTERS>(a, n, progress);
}

void bubbleSortAvx512U16(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    wavefront::sort<Avx512Ops<std::uint16_t, false>, SORTDEMO_AVX512_REGISTERS>(a, n, progress,
                                                                                bubbleSortAvx512);
}

void bubbleSortAvx512U8(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    wavefront::sort<Avx512Ops<std::uint8_t, false>, SORTDEMO_AVX512_REGISTERS>(a, n, progress,
                                                                               bubbleSortAvx512U16);
}

void bubbleSortAvx512Logic(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    wavefront::sort<Avx512Ops<std::int32_t, true>, SORTDEMO_AVX512_REGISTERS>(a, n, progress);
}

void bubbleSortAvx512LogicU16(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    wavefront::sort<Avx512Ops<std::uint16_t, true>, SORTDEMO_AVX512_REGISTERS>(
        a, n, progress, bubbleSortAvx512Logic);
}

void bubbleSortAvx512LogicU8(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    wavefront::sort<Avx512Ops<std::uint8_t, true>, SORTDEMO_AVX512_REGISTERS>(
        a, n, progress, bubbleSortAvx512LogicU16);
}
