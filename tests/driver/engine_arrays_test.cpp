// make_engine_arrays: every array of the state has its documented length, starts at zero and shares
// no element with another (they are runs of one block), the bytes stay within engine_memory_bytes, and
// a remake with other sizes starts from zeros again.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/engine_run.h"

namespace {

struct Sizes {
  std::int32_t n, me, m, nnz;
  bool in_memory;
};

TEST(EngineArrays, DocumentedLengthsZerosAndNoSharedElement) {
  for (const Sizes z : {Sizes{4, 1, 2, 8, false}, Sizes{1, 0, 0, 0, false}, Sizes{30, 5, 12, 500, true},
                        Sizes{7, 7, 7, 3, true}}) {
    SCOPED_TRACE(testing::Message() << z.n << " " << z.me << " " << z.m << " " << z.nnz);
    vek::core::SolveState st;
    ASSERT_TRUE(vek::core::make_engine_arrays(st, z.n, z.me, z.m, z.nnz, z.in_memory));
    const std::size_t n = z.n, m = z.m, k = n + 1 - z.me;
    vek::core::EvaluationRecord& e = st.evaluation;
    const std::vector<vek::core::Array<double>> arrays = {e.gradient, e.constraints, e.jacobian, st.D, st.CVG,
                                                          st.VF,      st.WQP,        st.X,       st.G, st.C,
                                                          st.A,       st.XL,         st.XU};
    const std::vector<std::size_t> lengths = {n + 1,
                                              m + 2,
                                              std::max((m + 1) * n, std::size_t(z.nnz)),
                                              n + 1,
                                              2,
                                              n * (n + 9) / 2 + 4 * m + 1,  // LWVF
                                              (3 * k + 7) * k / 2 + 4 * (n + 1) + 6 * m +
                                                  (z.in_memory ? m + (n + 1) * m + (n + 1) * (n + 2) / 2 : 0),
                                              n,
                                              n,
                                              m + 1,
                                              (m + 1) * (n + 2),
                                              n,
                                              n};
    std::size_t bytes = 4 * st.KTYPE.size();
    for (std::size_t a = 0; a < arrays.size(); ++a) {
      EXPECT_EQ(arrays[a].size(), lengths[a]) << "array " << a;
      for (double& x : arrays[a]) {
        EXPECT_EQ(x, 0.0) << "array " << a;
        x = static_cast<double>(a + 1);  // a later array writing here would show below
      }
      bytes += 8 * arrays[a].size();
    }
    for (std::size_t a = 0; a < arrays.size(); ++a)
      for (const double x : arrays[a]) ASSERT_EQ(x, static_cast<double>(a + 1)) << "array " << a;
    EXPECT_EQ(st.KTYPE.size(), m + 1);
    for (const std::int32_t kind : st.KTYPE) EXPECT_EQ(kind, 0);
    EXPECT_LE(bytes, vek::core::engine_memory_bytes(z.n, z.me, z.m, z.nnz, z.in_memory));

    // Remade with other sizes: none of the values written above is left.
    ASSERT_TRUE(vek::core::make_engine_arrays(st, 2, 0, 1, 2));
    EXPECT_EQ(st.X.size(), 2u);
    for (const double x : st.VF) EXPECT_EQ(x, 0.0);
    for (const double x : st.A) EXPECT_EQ(x, 0.0);
  }
}

}  // namespace
