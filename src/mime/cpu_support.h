#pragma once
// Whether the processor runs AVX2, asked once for the whole library: each fast path tests it before
// taking its AVX2 variant.

namespace mime::detail {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
inline bool hasAvx2() {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}
#endif

}  // namespace mime::detail
