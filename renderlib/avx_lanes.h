#pragma once

#include <immintrin.h>

namespace RenderLib {

// Eight-lane AVX registers behind the same operations as SseLanes. Include this only in files
// the build compiles with AVX enabled, and call into them only on processors that have it.
struct AvxLanes {
  using Register = __m256;
  static constexpr int kWidth = 8;
  static Register Set(float value) { return _mm256_set1_ps(value); }
  static Register Load(const float* values) { return _mm256_load_ps(values); }
  static void Store(float* values, Register r) { _mm256_storeu_ps(values, r); }
  static Register Add(Register a, Register b) { return _mm256_add_ps(a, b); }
  static Register Sub(Register a, Register b) { return _mm256_sub_ps(a, b); }
  static Register Mul(Register a, Register b) { return _mm256_mul_ps(a, b); }
  static Register Div(Register a, Register b) { return _mm256_div_ps(a, b); }
  static Register Less(Register a, Register b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
  static Register Greater(Register a, Register b) { return _mm256_cmp_ps(a, b, _CMP_GT_OQ); }
  static Register LessOrEqual(Register a, Register b) { return _mm256_cmp_ps(a, b, _CMP_LE_OQ); }
  static Register And(Register a, Register b) { return _mm256_and_ps(a, b); }
  static Register Or(Register a, Register b) { return _mm256_or_ps(a, b); }
  static Register AndNot(Register a, Register b) { return _mm256_andnot_ps(a, b); }
  static int Mask(Register r) { return _mm256_movemask_ps(r); }
};

}  // namespace RenderLib
