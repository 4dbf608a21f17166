#pragma once

#include <immintrin.h>

namespace RenderLib {

// Four-lane SSE registers (part of every x86-64 processor) behind the operations the kd-tree
// walks are written in, so one template serves every register width.
struct SseLanes {
  using Register = __m128;
  static constexpr int kWidth = 4;
  static Register Set(float value) { return _mm_set1_ps(value); }
  static Register Load(const float* values) { return _mm_load_ps(values); }
  static void Store(float* values, Register r) { _mm_storeu_ps(values, r); }
  static Register Add(Register a, Register b) { return _mm_add_ps(a, b); }
  static Register Sub(Register a, Register b) { return _mm_sub_ps(a, b); }
  static Register Mul(Register a, Register b) { return _mm_mul_ps(a, b); }
  static Register Div(Register a, Register b) { return _mm_div_ps(a, b); }
  static Register Less(Register a, Register b) { return _mm_cmplt_ps(a, b); }
  static Register Greater(Register a, Register b) { return _mm_cmpgt_ps(a, b); }
  static Register LessOrEqual(Register a, Register b) { return _mm_cmple_ps(a, b); }
  static Register And(Register a, Register b) { return _mm_and_ps(a, b); }
  static Register Or(Register a, Register b) { return _mm_or_ps(a, b); }
  static Register AndNot(Register a, Register b) { return _mm_andnot_ps(a, b); }
  static int Mask(Register r) { return _mm_movemask_ps(r); }
};

}  // namespace RenderLib
