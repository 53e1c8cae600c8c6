// Compiled for AVX-512 F, CD, BW, DQ and VL and VBMI; called only after the processor has been
// checked. The 8-bit lanes of the min/max set with the window's shift as one byte permute.
#include "avx512_ops.h"
#include "wavefront.h"

void bubbleSortAvx512VbmiU8(std::int32_t* a, std::int32_t n, SortProgress* progress) {
    wavefront::sort<Avx512Ops<std::uint8_t, false, true>, SORTDEMO_AVX512_REGISTERS>(
        a, n, progress, bubbleSortAvx512U16);
}
