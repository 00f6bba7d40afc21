#pragma once

// The vectorised kernels exist three times, for AVX-512, for AVX2 with FMA
// and for plain x86-64, and the processor's features pick one at run time.
// A kernel is written
//
//   QUORRA_VECTOR_CLONES bool kernel(...) {
//     QUORRA_VECTOR_BEGIN  (QUORRA_VECTOR_MEMBER_BEGIN in a member function)
//     ...
//     QUORRA_VECTOR_END
//   }
//
// GCC clones the function for the x86-64 levels v4 and v3 and resolves the
// clone once, when the program is loaded; the markers are empty. Clang
// 14's clones do not serve: it resolves an "arch=" clone by the processor's
// model instead of its features, takes one feature per clone and calls a
// clone defined in another file through a broken reference. Under Clang the
// markers make the body a lambda, which vectorised() inlines into three
// functions compiled for the features of each level, calling the one the
// processor supports.

namespace quorra {

enum class VectorLevel { Generic, Avx2, Avx512 };

// The level the kernels run at.
inline VectorLevel vectorLevel() {
#if defined(__clang__)
  // Only features __builtin_cpu_supports knows are enabled for the kernels,
  // so that these tests cover every instruction they may contain.
  static const VectorLevel level = [] {
    __builtin_cpu_init();
    const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") &&
                      __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
                      __builtin_cpu_supports("popcnt");
    const bool avx512 = avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                        __builtin_cpu_supports("avx512cd") && __builtin_cpu_supports("avx512dq") &&
                        __builtin_cpu_supports("avx512vl");
    return avx512 ? VectorLevel::Avx512 : avx2 ? VectorLevel::Avx2 : VectorLevel::Generic;
  }();
  return level;
#else
  // The same tests, in the same order, as the clones' resolver.
  __builtin_cpu_init();
  if (__builtin_cpu_supports("x86-64-v4")) return VectorLevel::Avx512;
  if (__builtin_cpu_supports("x86-64-v3")) return VectorLevel::Avx2;
  return VectorLevel::Generic;
#endif
}

#if defined(__clang__)

#define QUORRA_VECTOR_CLONES
// The body takes the arguments by value: held by reference, they would be
// loaded anew inside every loop of it.
#define QUORRA_VECTOR_BEGIN return ::quorra::vectorised([=]() __attribute__((always_inline)) mutable {
#define QUORRA_VECTOR_MEMBER_BEGIN \
  return ::quorra::vectorised([=, this]() __attribute__((always_inline)) mutable {
#define QUORRA_VECTOR_END \
  });
#define QUORRA_AVX2_FEATURES "avx2,bmi,bmi2,fma,popcnt"

template <typename Body>
__attribute__((target(QUORRA_AVX2_FEATURES ",avx512f,avx512bw,avx512cd,avx512dq,avx512vl"))) auto
vectorisedAvx512(Body body) {
  return body();
}

template <typename Body>
__attribute__((target(QUORRA_AVX2_FEATURES))) auto vectorisedAvx2(Body body) {
  return body();
}

template <typename Body>
inline auto vectorised(Body body) {
  switch (vectorLevel()) {
    case VectorLevel::Avx512:
      return vectorisedAvx512(body);
    case VectorLevel::Avx2:
      return vectorisedAvx2(body);
    case VectorLevel::Generic:
      break;
  }
  return body();
}

#else

#define QUORRA_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#define QUORRA_VECTOR_BEGIN
#define QUORRA_VECTOR_MEMBER_BEGIN
#define QUORRA_VECTOR_END

#endif

}  // namespace quorra
