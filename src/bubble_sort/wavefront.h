#pragma once

// The bubble sort's compare-exchanges as a diagonal wavefront in vector registers.
//
// Compare-exchange (i, j) of pass i at position j depends only on (i, j - 1) and (i - 1, j + 1).
// Give it the time t = 2i + j: both of those come one step earlier, and the compare-exchanges of
// one time touch disjoint pairs. So K consecutive passes run together: at step s, pass k of the
// sweep works on the pair (s - 2k, s - 2k + 1). Those K pairs fill a window of 2K neighbouring
// elements that slides up the array by one element a step; each compare-exchange still sees
// exactly the two values it sees in the textbook order.
//
// In registers the window's pair m (the pass K - 1 - m) sits as e[m] (its lower element) and o[m]
// (its upper). Lane l of register r holds pair m = l * R + r, so that after a step's min and max
// the slide is register renaming, except for one in-register shift that takes in the next array
// element at the top and lets the finished element at the bottom go.
//
// Before a pass starts, its pair lies below the array: those places hold the smallest value, so
// the compare-exchanges there change nothing. After a pass has reached its bound, its lanes are
// masked off, so no pass compares beyond its bound.
//
// The lanes are 32-bit and hold the elements themselves, or, when every value lies within 65535
// or 255 of the smallest, 16-bit or 8-bit and hold each element's distance from the smallest,
// unsigned: a compare-exchange decides the same on distances as on values, and a register holds
// two or four times as many passes. The array stays 32-bit: an element is turned into a distance
// as it enters the window and back as it leaves, so between sweeps it holds the values
// themselves in the textbook order.
//
// Included by one source file per instruction set (two for AVX-512, the second for VBMI), each
// compiled for its own; the vector operations come from an Ops type of that file for each lane
// type (AVX-512's from avx512_ops.h, in an unnamed namespace), and nothing here is shared
// between them.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <utility>

#include "kernels.h"
#include "mca_markers.h"

namespace wavefront {

#if defined(__GNUC__) || defined(__clang__)
#define SORTDEMO_ALWAYS_INLINE inline __attribute__((always_inline))
#elif defined(_MSC_VER)
#define SORTDEMO_ALWAYS_INLINE __forceinline
#else
#define SORTDEMO_ALWAYS_INLINE inline
#endif

#if defined(__GNUC__) || defined(__clang__)
#define SORTDEMO_NOINLINE __attribute__((noinline))
#elif defined(_MSC_VER)
#define SORTDEMO_NOINLINE __declspec(noinline)
#else
#define SORTDEMO_NOINLINE
#endif

// An element in a lane of type Lane: itself in a 32-bit lane, its distance from the minimum in a
// narrow one. The distance is taken modulo 2^32, which is exact for values within the lane's
// range of the minimum and cannot overflow; the Ops' enter takes it the same way, in a vector
// register, as the element enters, and the Ops' leave turns it back as the element leaves.
template <class Lane>
SORTDEMO_ALWAYS_INLINE std::int32_t fromLane(Lane lane, std::int32_t minimum) {
    if constexpr (std::is_same_v<Lane, std::int32_t>) {
        static_cast<void>(minimum);
        return lane;
    } else {
        return static_cast<std::int32_t>(std::uint32_t{lane} + static_cast<std::uint32_t>(minimum));
    }
}

// How many of register r's first lanes take part while pairs 0 .. active - 1 do (see below).
template <int R>
SORTDEMO_ALWAYS_INLINE int lanesTakingPart(std::int32_t active, int r) {
    return static_cast<int>(active / R + (r < active % R ? 1 : 0));
}

// Which pairs of register r take part while pairs 0 .. active - 1 do: lane l holds pair
// l * R + r. 32-bit lanes compare each lane's pair number with active. Narrow lanes cannot hold a
// wide window's pair numbers, so they count the lanes instead: with active = q * R + rem, the first
// q + 1 of register r take part when r < rem, the first q otherwise.
template <class Ops, int R>
SORTDEMO_ALWAYS_INLINE auto takingPart(std::int32_t active, int r) {
    if constexpr (std::is_same_v<typename Ops::Lane, std::int32_t>) {
        return Ops::lessThan(Ops::laneTimes(R, r), Ops::broadcast(active));
    } else {
        return Ops::firstLanes(lanesTakingPart<R>(active, r));
    }
}

// Where narrow lanes' masks are bit masks (AVX-512's), the passes end in blocks of R steps (see
// sweep): through a block active = q * R + rem, q fixed and rem from R - 1 down to 0, so register
// r takes part in its first q + 1 lanes while r < rem and in its first q after. Two masks a
// block, and at each of its steps which register takes which is known when compiling. Working
// the masks out again for every register on every step took a dozen scalar instructions a
// register; keeping one a register in memory, one bit cleared a step, still made an ending step
// 4.5 times as long as a step of the hot loop (both measured on Zen 5).
template <class Ops>
constexpr bool kNarrowBitMasks =
    std::is_integral_v<typename Ops::Mask> && !std::is_same_v<typename Ops::Lane, std::int32_t>;

// The lanes that sit out at a step of a block: all but register r's first q + 1 while r < Rem,
// all but its first q after.
template <class Ops, int Rem>
struct BlockStep {
    typename Ops::Mask outBelowRem;
    typename Ops::Mask outFromRem;
};

template <class Ops, int Rem>
SORTDEMO_ALWAYS_INLINE auto sittingOut(const BlockStep<Ops, Rem>& step, int r) {
    return r < Rem ? step.outBelowRem : step.outFromRem;
}

// Of x and y, the one that is not smaller: from the smaller, where the instruction set has a
// cheaper way than max.
template <class Ops>
SORTDEMO_ALWAYS_INLINE auto larger(typename Ops::Reg x, typename Ops::Reg y,
                                   typename Ops::Reg smaller) {
    if constexpr (requires { Ops::larger(x, y, smaller); }) {
        return Ops::larger(x, y, smaller);
    } else {
        static_cast<void>(smaller);
        return Ops::max(x, y);
    }
}

// The compare-exchanges of the pairs in register r: x gets the larger values and smaller the
// smaller ones. With Masked, pair m = l * R + r takes part only while m < active; the others are
// left as they are, which in the sliding layout means smaller gets x and x gets y.
template <class Ops, int R, bool Masked, class Active>
SORTDEMO_ALWAYS_INLINE void compareExchange(typename Ops::Reg& x, typename Ops::Reg y,
                                            typename Ops::Reg& smaller, const Active& active,
                                            int r) {
    if constexpr (requires { active.outFromRem; }) {
        // A step of the ending's blocks, in three instructions of which none overwrites a value
        // still needed, so GCC copies no register: the min into a register of its own, x moved
        // into it where the pair sits out, then x overwritten by the one of x and y that smaller
        // is not (where the pair takes part the larger, where it sits out y). A select of min
        // and of max made GCC copy a register for each, and for the copies it ran out of
        // registers.
        static_assert(Masked);
        smaller = Ops::select(sittingOut(active, r), x, Ops::min(x, y));
        x = Ops::other(x, y, smaller);
    } else if constexpr (Masked) {
        const auto on = takingPart<Ops, R>(active, r);
        smaller = Ops::select(on, Ops::min(x, y), x);
        x = Ops::select(on, Ops::max(x, y), y);
    } else {
        static_cast<void>(active);
        static_cast<void>(r);
        smaller = Ops::min(x, y);
        x = larger<Ops>(x, y, smaller);
    }
}

// One step of the wavefront: every active pair's compare-exchange, then the slide by one
// element, the finished bottom element going to *leaving and *entering coming in at the top:
// elements of the array, or lanes of a Batch. With Masked, pair m takes part only while
// m < active.
template <class Ops, int R, bool Masked, class Element, class Active = std::int32_t>
SORTDEMO_ALWAYS_INLINE void advance(typename Ops::Reg (&e)[R], typename Ops::Reg (&o)[R],
                                    Element* leaving, const Element* entering, std::int32_t minimum,
                                    const Active& active = 0) {
    // In place, register by register, so that little more than the window itself is live: the
    // smaller values of pair r + 1 become the upper elements of pair r. The registers are named
    // by constants, so the compiler can keep the window in registers.
    typename Ops::Reg bottom;
    compareExchange<Ops, R, Masked>(e[0], o[0], bottom, active, 0);
    [&]<int... r>(std::integer_sequence<int, r...>) {
        (compareExchange<Ops, R, Masked>(e[r + 1], o[r + 1], o[r], active, r + 1), ...);
    }
    (std::make_integer_sequence<int, R - 1>{});
    if constexpr (std::is_same_v<Element, std::int32_t>) {
        Ops::leave(leaving, bottom, minimum);
        o[R - 1] = Ops::shiftInTop(bottom, Ops::enter(entering, minimum));
    } else {
        Ops::leave(leaving, bottom);
        o[R - 1] = Ops::shiftInTop(bottom, Ops::enter(entering));
    }
}

// Narrow lanes take their elements in and out in batches: the distances from the minimum of
// the next kSteps entering elements are worked out together (a few wide vector instructions
// for them all), and so are the elements of the distances that left. A step then only loads
// and stores a lane, which takes no vector instruction. The buffers hold a lane in each 32-bit
// word, whose upper bits a lane ignores. Where the Ops can load and store lanes so (enter and
// leave of a word pointer), the hot loop works through batches.
template <class Ops>
struct Batch {
    using Lane = typename Ops::Lane;
    static constexpr std::int32_t kSteps = 64;
    static constexpr bool used =
        !std::is_same_v<Lane, std::int32_t> &&
        requires(const std::uint32_t* in, std::uint32_t* out, typename Ops::Reg v) {
        Ops::enter(in);
        Ops::leave(out, v);
    };

    // Three words more for a 128-bit load at the last lane, set so that none is read unset.
    std::uint32_t entering[kSteps + 3] = {};
    std::uint32_t leaving[kSteps];

    void take(const std::int32_t* from, std::int32_t steps, std::int32_t minimum) {
        for (std::int32_t k = 0; k < steps; ++k) {
            entering[k] = static_cast<std::uint32_t>(from[k]) - static_cast<std::uint32_t>(minimum);
        }
    }
    void give(std::int32_t* to, std::int32_t steps, std::int32_t minimum) const {
        for (std::int32_t k = 0; k < steps; ++k) {
            to[k] = fromLane<Lane>(static_cast<Lane>(leaving[k]), minimum);
        }
    }
};

// Marks a step of a kernel's hot loop for llvm-mca by its lane width, and "tl" where the larger
// of a pair comes from a three-input logic instruction.
template <class Ops, int R>
SORTDEMO_ALWAYS_INLINE void markHotStep() {
    constexpr std::size_t bytes = sizeof(typename Ops::Lane);
    constexpr bool logic = requires(typename Ops::Reg x) {
        Ops::larger(x, x, x);
    };
    if constexpr (R == 1) {
        // the narrow sweeps' loop is not the hot one
    } else if constexpr (bytes == 1 && logic) {
        SORTDEMO_MCA_MARK(8tl);
    } else if constexpr (bytes == 1) {
        SORTDEMO_MCA_MARK(8);
    } else if constexpr (bytes == 2 && logic) {
        SORTDEMO_MCA_MARK(16tl);
    } else if constexpr (bytes == 2) {
        SORTDEMO_MCA_MARK(16);
    } else if constexpr (logic) {
        SORTDEMO_MCA_MARK(32tl);
    } else {
        SORTDEMO_MCA_MARK(32);
    }
}

// The window of a sweep between its phases, in memory.
template <class Ops, int R>
struct Window {
    typename Ops::Reg e[R];
    typename Ops::Reg o[R];
};

// steps(e, o) on the window in registers. Returns what steps returns.
template <class Ops, int R, class Steps>
SORTDEMO_ALWAYS_INLINE auto inRegistersHere(Window<Ops, R>& window, Steps& steps) {
    typename Ops::Reg e[R];
    typename Ops::Reg o[R];
    [&]<int... r>(std::integer_sequence<int, r...>) {
        ((e[r] = window.e[r], o[r] = window.o[r]), ...);
    }
    (std::make_integer_sequence<int, R>{});
    const auto result = steps(e, o);
    [&]<int... r>(std::integer_sequence<int, r...>) {
        ((window.e[r] = e[r], window.o[r] = o[r]), ...);
    }
    (std::make_integer_sequence<int, R>{});
    return result;
}

// The same in a function of its own, so that the compiler allocates the registers for that
// phase's loop alone: allocating for a whole sweep, GCC kept a window register of the narrow
// avx512tl loops on the stack, a store and a load on every step's chain, which halved their speed
// on Zen 5. The window goes to memory and back once a phase.
template <class Ops, int R, class Steps>
SORTDEMO_NOINLINE auto inRegistersApart(Window<Ops, R>& window, Steps steps) {
    return inRegistersHere(window, steps);
}

// Each phase of a sweep: apart for AVX-512's narrow lanes (the narrow Ops with bit masks), in
// the sweep for the others: SSE4.1's and AVX2's loops ran slower apart (1.4x and 5% on Zen 5),
// and GCC kept a register of AVX-512's 32-bit loops on the stack apart, where together it needs
// none.
template <class Ops, int R, class Steps>
SORTDEMO_ALWAYS_INLINE auto inRegisters(Window<Ops, R>& window, Steps steps) {
    if constexpr (kNarrowBitMasks<Ops>) {
        return inRegistersApart(window, steps);
    } else {
        return inRegistersHere(window, steps);
    }
}

// One sweep: passes 0 .. K-1 over a[0 .. len), len > K, each pass k comparing up to position
// len - 2 - k. Narrow lanes hold distances from minimum.
template <class Ops, int R>
inline void sweep(std::int32_t* a, std::int32_t len, std::int32_t minimum) {
    using Reg = typename Ops::Reg;
    using Lane = typename Ops::Lane;
    constexpr int L = Ops::lanes;
    constexpr std::int32_t K = R * L;
    static_assert(K <= kMaxSweepPasses);
    // The places above the array hold the largest value a lane holds, below it the smallest.
    const std::int32_t aboveTheArray = fromLane<Lane>(std::numeric_limits<Lane>::max(), minimum);
    std::int32_t belowTheArray = 0;  // finished elements of places below the array go here

    const Reg lowest = Ops::broadcast(std::numeric_limits<Lane>::min());
    Window<Ops, R> window;
    [&]<int... r>(std::integer_sequence<int, r...>) {
        ((window.e[r] = lowest, window.o[r] = lowest), ...);
    }
    (std::make_integer_sequence<int, R>{});
    // Step 0: only pass 0 is on the array, at the pair (0, 1).
    window.e[R - 1] = Ops::shiftInTop(lowest, Ops::enter(a, minimum));
    window.o[R - 1] = Ops::shiftInTop(lowest, Ops::enter(a + 1, minimum));

    // At step s the element at s - 2K + 2 leaves the window and the one at s + 2 enters. The
    // steps run up to len + K - 3 (the last pass's last compare-exchange), past the largest
    // 32-bit value when len is near it, so s counts only up to len - 1.
    const std::int32_t lastFullStep = len - 2;  // every pass still inside its bound
    using Registers = Reg[R];
    // Each phase takes its scalars by value, so that stores to the array, which may alias
    // anything of its type the phase reaches by reference, do not make it read them again.
    // The window's bottom is still below the array.
    std::int32_t s = inRegisters(window, [=, &belowTheArray](Registers& e, Registers& o) {
        std::int32_t s = 0;
        for (; s < 2 * K - 2 && s <= lastFullStep; ++s) {
            advance<Ops, R, false>(e, o, &belowTheArray, s + 2 < len ? a + s + 2 : &aboveTheArray,
                                   minimum);
        }
        return s;
    });
    // The hot loop: the window wholly on the array. A batch's leaving elements lie 2K places
    // below its entering ones, so the two never overlap.
    s = inRegisters(window, [=](Registers& e, Registers& o) mutable {
        if constexpr (Batch<Ops>::used && R > 1 && Batch<Ops>::kSteps <= 2 * K) {
            Batch<Ops> batch;
            while (s + 2 < len) {
                const std::int32_t steps = std::min(Batch<Ops>::kSteps, len - 2 - s);
                batch.take(a + s + 2, steps, minimum);
                for (std::int32_t k = 0; k < steps; ++k) {
                    markHotStep<Ops, R>();
                    advance<Ops, R, false>(e, o, batch.leaving + k, batch.entering + k, minimum);
                }
                batch.give(a + (s - 2 * K + 2), steps, minimum);
                s += steps;
            }
        } else {
            for (; s + 2 < len; ++s) {
                markHotStep<Ops, R>();
                advance<Ops, R, false>(e, o, a + (s - 2 * K + 2), a + s + 2, minimum);
            }
        }
        return s;
    });
    inRegisters(window, [=, &belowTheArray](Registers& e, Registers& o) mutable {
        // The top has passed the array's end. Reached only from the hot loop, so the bottom is
        // on the array.
        for (; s <= lastFullStep; ++s) {
            advance<Ops, R, false>(e, o, a + (s - 2 * K + 2), &aboveTheArray, minimum);
        }
        // The passes end one after another, the newest (pair K - 1) first: at step s the pairs
        // below active = len + K - 2 - s take part and the element at s - 2K + 2 =
        // len - K - active leaves. Counted down by active, whose sums stay within 32 bits. A
        // short array can get here with the bottom still below it.
        const std::int32_t first = (len - 1 - s) + (K - 1);
        if constexpr (kNarrowBitMasks<Ops>) {
            // s is len - 1 here (the loops above stop there), so first = K - 1 = (L - 1) * R +
            // R - 1: L blocks, of which the last skips its step at rem = 0, where active = 0.
            std::int32_t active = first;
            for (std::int32_t q = L - 1; q >= 0; --q) {
                using Mask = typename Ops::Mask;
                const auto outBelowRem = static_cast<Mask>(~Ops::firstLanes(q + 1));
                const auto outFromRem = static_cast<Mask>(~Ops::firstLanes(q));
                const auto step = [&]<int Rem>() {
                    if (active > 0) {
                        const std::int32_t bottom = len - K - active;
                        advance<Ops, R, true>(e, o, bottom >= 0 ? a + bottom : &belowTheArray,
                                              &aboveTheArray, minimum,
                                              BlockStep<Ops, Rem>{outBelowRem, outFromRem});
                        --active;
                    }
                };
                [&]<int... j>(std::integer_sequence<int, j...>) {
                    (step.template operator()<R - 1 - j>(), ...);
                }
                (std::make_integer_sequence<int, R>{});
            }
        } else {
            for (std::int32_t active = first; active > 0; --active) {
                const std::int32_t bottom = len - K - active;
                advance<Ops, R, true>(e, o, bottom >= 0 ? a + bottom : &belowTheArray,
                                      &aboveTheArray, minimum, active);
            }
        }
        return s;
    });

    // Every pass is done: the window's lower half is a[len - K .. len), the upper half lies
    // above the array.
    Lane lower[R][L];
    Lane upper[R][L];
    [&]<int... r>(std::integer_sequence<int, r...>) {
        ((Ops::store(lower[r], window.e[r]), Ops::store(upper[r], window.o[r])), ...);
    }
    (std::make_integer_sequence<int, R>{});
    for (std::int32_t offset = 0; offset < K; ++offset) {
        const std::int32_t m = offset / 2;
        a[len - K + offset] =
            fromLane<Lane>((offset % 2 == 0 ? lower : upper)[m % R][m / R], minimum);
    }
}

// The whole sort: sweeps of K passes while at least K passes remain, narrower sweeps for what
// is left, and finish, a kernel of fewer lanes, for the last few passes. Progress is told
// between sweeps. Narrow lanes take values within their range of the smallest.
template <class Ops, int R>
inline void sort(std::int32_t* a, std::int32_t n, SortProgress* progress,
                 BubbleSortKernel finish = bubbleSortScalar) {
    std::int32_t minimum = 0;
    if constexpr (!std::is_same_v<typename Ops::Lane, std::int32_t>) {
        if (n > Ops::lanes) {
            minimum = *std::min_element(a, a + n);
        }
    }
    std::int32_t len = n;
    while (len > R * Ops::lanes) {
        sweep<Ops, R>(a, len, minimum);
        len -= R * Ops::lanes;
        if (progress != nullptr) {
            progress->unsortedPrefix(len);
        }
    }
    while (len > Ops::lanes) {
        sweep<Ops, 1>(a, len, minimum);
        len -= Ops::lanes;
        if (progress != nullptr) {
            progress->unsortedPrefix(len);
        }
    }
    finish(a, len, progress);
}

}  // namespace wavefront
