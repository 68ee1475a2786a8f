// The matrix library by identities and sweeps: containers, product and transpose, LU with
// its pivot order, the solves, permutations, the inverse, and every way it ends the
// process, with its exact error stream and exit status.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <numeric>
#include <random>

#include "linal/mes_eig.h"
#include "linal/mes_err.h"
#include "linal/mes_factor.h"
#include "linal/mes_perm.h"
#include "linal/mes_solve.h"

using namespace linal;
using Doubles = std::vector<double>;

namespace {

Matrix mat(int m, int n, const Doubles& rowMajor) {  // rowMajor empty: zeros
    Matrix A(m, n, 0.0);
    for (std::size_t k = 0; k < rowMajor.size(); ++k)
        A(int(k) / n + 1, int(k) % n + 1) = rowMajor[k];
    return A;
}
template <typename T>
Vector<T> vec(const std::vector<T>& values) {
    Vector<T> v(int(values.size()), 0, T(0));
    std::copy(values.begin(), values.end(), v.data.begin() + 1);
    return v;
}
template <typename T>
std::vector<T> elementsOf(const Vector<T>& v) {
    return std::vector<T>(v.data.begin() + 1, v.data.end());
}

// Entries in [-1, 1); `dominant` adds n on the diagonal and shuffles the rows, so the
// matrix is well conditioned and the pivot search has work to do.
Matrix randomMatrix(int m, int n, std::mt19937& rng, bool dominant = false) {
    std::uniform_real_distribution<double> entry(-1.0, 1.0);
    Matrix A(m, n, 0.0);
    for (int i = 1; i <= m; ++i)
        for (int j = 1; j <= n; ++j)
            A(i, j) = entry(rng) + (dominant && i == j ? n : 0);
    if (dominant)
        std::shuffle(A.rows.data.begin() + 1, A.rows.data.end(), rng);
    return A;
}

// Same shape, well-formed rows (flagged, of length n), entries within the tolerance.
void expectNear(const Matrix& A, const Matrix& B, double tolerance = 0.0) {
    ASSERT_TRUE(A.m == B.m && A.n == B.n && A.rows.len == A.m) << A.m << "x" << A.n;
    for (int i = 1; i <= A.m; ++i) {
        ASSERT_TRUE(A.row(i).len == A.n && A.row(i).rowFlag == 1) << "row " << i;
        for (int j = 1; j <= A.n; ++j)
            EXPECT_NEAR(A(i, j), B(i, j), tolerance) << i << "," << j;
    }
}
Matrix identity(int n) {
    Matrix I(n, n, 0.0);
    for (int i = 1; i <= n; ++i)
        I(i, i) = 1.0;
    return I;
}

TEST(Linal, ContainersKeepSlotZeroAndTheirCommonPartOnResize) {
    Vector<double> v(3, 0, 2.5);
    v.data[0] = -1.0;
    v.fill(0.0)(3) = 1.0;
    v.setRowFlag(1);
    EXPECT_EQ(v.resize(5), 1);
    EXPECT_EQ(v.data, (Doubles{-1, 0, 0, 1, 0, 0}));
    v.resize(1);
    EXPECT_EQ(v.data, (Doubles{-1, 0}));
    EXPECT_EQ(v.rowFlag, 1);
    // Matrices keep their common top-left block and zero the rest.
    const auto block = [](int m, int n, int keepM, int keepN) {
        Matrix A(m, n, 0.0);
        for (int i = 1; i <= std::min(m, keepM); ++i)
            for (int j = 1; j <= std::min(n, keepN); ++j)
                A(i, j) = 10 * i + j;
        return A;
    };
    for (const auto& [m, n, newM, newN] : std::vector<std::array<int, 4>>{
             {2, 3, 2, 3}, {2, 2, 3, 3}, {3, 3, 2, 4}, {0, 0, 2, 2}, {3, 2, 0, 0}, {4, 1, 1, 4}}) {
        Matrix A = block(m, n, m, n), assigned(1, 7, 3.0);
        assigned = A;
        expectNear(assigned, A);
        EXPECT_EQ(A.resize(newM, newN), 1);
        expectNear(A, block(newM, newN, m, n));
    }
}

TEST(Linal, ProductSumsInOrderAndKeepsTheIdentities) {
    // Added first to last, the 1 is absorbed by 1e16; any other order would keep it.
    expectNear(mat(2, 3, {1.0, 1e16, -1e16, 1, 2, 3}) * mat(3, 1, {1, 1, 1}), mat(2, 1, {0, 6}));
    expectNear(Matrix(3, 0, 0.0) * Matrix(0, 2, 0.0), Matrix(3, 2, 0.0));
    std::mt19937 rng(11);
    for (int m = 0; m <= 4; ++m)
        for (int k = 0; k <= 4; ++k) {
            const Matrix A = randomMatrix(m, k, rng), B = randomMatrix(k, 3, rng);
            expectNear(A * identity(k), A);
            // Exact: both sides add the same products in the same order.
            expectNear(Transpose(A * B), Transpose(B) * Transpose(A));
        }
    Matrix A = randomMatrix(10, 8, rng), T = A.transpose();
    for (int i = 1; i <= 10; ++i)
        for (int j = 1; j <= 8; ++j)
            ASSERT_EQ(T(j, i), A(i, j));
    expectNear(T * A, Transpose(T * A));  // exactly symmetric
    A = A * identity(8);                  // the result may be assigned to an operand
    expectNear(A, Transpose(T));
}

TEST(Linal, LUfactorPivotsSolvesAndInverts) {
    // clang-format off
    const std::tuple<Matrix, std::vector<int>, Matrix> cases[] = {
        {mat(2, 2, {0, 1, 1, 0}), {2, 1}, mat(2, 2, {1, 0, 0, 1})},
        {mat(2, 2, {1, 0, 1, 1}), {1, 2}, mat(2, 2, {1, 0, 1, 1})},          // a tie keeps row 1
        {mat(2, 2, {2, 100, 1, 0.1}), {2, 1}, mat(2, 2, {1, 0.1, 2, 99.8})},  // rows are scaled
        // Exchanging the scale factors with the rows would give (3, 1, 2).
        {mat(3, 3, {-1, 7, -3, 4, -9, -2, -9, 3, -5}), {3, 2, 1},
         mat(3, 3, {-9, 3, -5, -4.0 / 9, -23.0 / 3, -38.0 / 9, 1.0 / 9, -20.0 / 23, -422.0 / 69})},
        {mat(2, 2, {1, 2, 2, 4}), {1, 2}, mat(2, 2, {1, 2, 2, 0})},  // an exact zero
        {mat(2, 2, {0, 1, 0, 2}), {1, 2}, mat(2, 2, {0, 1, 0, 2})}}; // a zero column
    // clang-format on
    for (const auto& [A, order, factors] : cases) {
        Matrix F = A;
        Permutation pivot(0, 0, 0);
        LUfactor(F, pivot);
        EXPECT_EQ(elementsOf(pivot), order);
        expectNear(F, factors, 1e-14);
    }
    std::mt19937 rng(5);
    for (int m = 1; m <= 10; ++m)
        for (int n : {m - 1, m, m + 2}) {
            const Matrix A = randomMatrix(m, n, rng);
            Matrix F = A, L(m, std::min(m, n), 0.0), U(std::min(m, n), n, 0.0), PA(m, n, 0.0);
            Permutation pivot(3, 0, 9);
            LUfactor(F, pivot);
            for (int i = 1; i <= m; ++i)
                for (int j = 1; j <= n; ++j) {
                    PA(i, j) = A(pivot(i), j);
                    (j < i ? L(i, j) : U(i, j)) = F(i, j);
                }
            for (int i = 1; i <= L.n; ++i)
                L(i, i) = 1.0;
            expectNear(PA, L * U, 2e-13);
        }
    // The solve and the inverse over sizes, on well-conditioned matrices.
    for (int n = 1; n <= 10; ++n) {
        const Matrix A = randomMatrix(n, n, rng, true), x = randomMatrix(n, 1, rng);
        Matrix F = A, out(5, 1, 3.0), in = A;
        Permutation pivot(0, 0, 0);
        Vector<double> solution(0, 0, 0.0);
        LUfactor(F, pivot);
        LUsolve(F, pivot, Transpose(A * x).row(1), solution);
        expectNear(mat(n, 1, elementsOf(solution)), x, 1e-13);
        const Matrix R = inverse(A);
        expectNear(A * R, identity(n), 1e-13);
        m_inverse(A, out);  // resizes its output
        m_inverse(in, in);  // may overwrite its input
        expectNear(out, R);
        expectNear(in, R);
    }
    const Matrix small = randomMatrix(3, 3, rng, true), first = inverse(small);
    inverse(randomMatrix(7, 7, rng, true));
    expectNear(inverse(small), first);  // nothing kept from a call of another size
    expectNear(inverse(mat(2, 2, {4, 7, 2, 6})), mat(2, 2, {0.6, -0.7, -0.2, 0.4}), 1e-15);
}

TEST(Linal, TriangularSolvesPermutationsAndColumns) {
    Vector<double> out(0, 0, 0.0), wide(0, 0, 0.0), b = vec<double>({7, 4});
    Usolve(mat(2, 4, {1, 2, 0, 0}), vec<double>({1, 0}), out, 0.0);  // a zero skips its pivot
    EXPECT_EQ(elementsOf(out), (Doubles{1, 0, 0, 0}));               // resized to n
    Usolve(mat(2, 2, {9, 1, 0, 9}), b, b, 2.0);                      // in place, a fixed divisor
    EXPECT_EQ(elementsOf(b), (Doubles{2.5, 2}));
    Usolve(mat(2, 3, {2, 1, 5, 0, 4, 5}), vec<double>({4, 8}), out, 0.0);
    EXPECT_EQ(elementsOf(out), (Doubles{1, 2, 0, 0}));  // long enough already: not resized
    Lsolve(mat(2, 2, {0, 0, 2, 0}), vec<double>({1, 3}), out, 1.0);
    EXPECT_EQ(elementsOf(out), (Doubles{1, 1, 0, 0}));
    b = vec<double>({0, 2, 9});
    Lsolve(mat(3, 3, {0, 0, 0, 5, 2, 0, 1, 3, 3}), b, b, 0.0);
    EXPECT_EQ(elementsOf(b), (Doubles{0, 1, 2}));
    Lsolve(mat(2, 3, {2, 0, 0, 1, 1, 0}), vec<double>({2, 3}), wide, 0.0);
    EXPECT_EQ(elementsOf(wide), (Doubles{1, 2, 0}));  // resized to n
    Matrix A(3, 2, 1.0);
    m_put_col(A, 2, vec<double>({5, 6}));
    expectNear(A, mat(3, 2, {1, 5, 1, 6, 1, 1}));

    std::mt19937 rng(23);
    for (int n = 1; n <= 10; ++n) {
        Permutation p(n, 0, 0);
        std::iota(p.data.begin() + 1, p.data.end(), 1);
        std::shuffle(p.data.begin() + 1, p.data.end(), rng);
        Vector<double> v = Transpose(randomMatrix(n, 1, rng)).row(1);
        const Vector<double> original = v;
        px_vec(p, v, v);  // in place; the solves check the copy out of place
        for (int i = 1; i <= n; ++i)
            ASSERT_EQ(v(i), original(p(i)));
    }
    out = vec<double>({7, 7, 7});
    px_vec(vec<int>({2, 1}), vec<double>({1, 2, 3}), out);
    EXPECT_EQ(elementsOf(out), (Doubles{2, 1, 7}));  // a short permutation: its prefix only
    px_vec(Permutation(0, 0, 0), vec<double>({4, 5}), out);
    EXPECT_EQ(elementsOf(out), (Doubles{4, 5}));
    Permutation p = vec<int>({1, 2, 3});
    px_swap(p, 1, 3);
    px_swap(p, 2, 4);  // out of range: ignored
    EXPECT_EQ(elementsOf(p), (std::vector<int>{3, 2, 1}));
}

std::string assertion(const std::string& where, const std::string& expr) {
    return std::string(program_invocation_short_name) + ": linal/" + where + ": Assertion `" +
           expr + "' failed\\.\n";
}
std::string indexInvalid(int i) {
    return "ERROR: index invalid " + std::to_string(i) + "\n" +
           assertion("vector\\.cpp:[0-9]+: void linal::indexInvalid\\(int\\)", "0");
}
Vector<double> out(0, 0, 0.0);
Matrix square(0, 0, 0.0);

TEST(Linal, DiesWithTheExactMessageAndStatus) {
    const std::string singular = "ERROR: singular matrix\n",
                      sizes = "ERROR: sizes of objects don't match\n";
    const std::function<bool(int)> exits = testing::ExitedWithCode(1),
                                   aborts = testing::KilledBySignal(SIGABRT);
    // clang-format off
    struct Death { void (*run)(); std::function<bool(int)> status; std::string stderrPattern; };
    const Death table[] = {
        {[] { inverse(mat(2, 2, {1, 2, 2, 4})); }, exits, singular},
        {[] { Usolve(mat(2, 2, {1, 2, 0, 0}), vec<double>({1, 1}), out, 0.0); }, exits, singular},
        {[] { Lsolve(mat(2, 2, {0, 0, 1, 1}), vec<double>({1, 1}), out, 0.0); }, exits, singular},
        {[] { m_inverse(Matrix(2, 3, 1.0), square); }, exits, "ERROR: matrix not square\n"},
        {[] { LUsolve(Matrix(3, 3, 1.0), Permutation(3, 0, 1), Vector<double>(2, 0, 1.0), out); }, exits, sizes},
        {[] { LUsolve(Matrix(2, 3, 1.0), Permutation(2, 0, 1), Vector<double>(3, 0, 1.0), out); }, exits, sizes},
        {[] { Usolve(Matrix(3, 3, 1.0), Vector<double>(2, 0, 1.0), out, 0.0); }, exits, sizes},
        {[] { px_vec(vec<int>({1, 2, 3}), vec<double>({1, 2}), out); }, exits, sizes},
        {[] { px_vec(vec<int>({3, 1}), vec<double>({1, 2, 3}), out); }, exits, "ERROR: index out of bounds\n"},
        {[] { out = vec<double>({1, 2, 3}); px_vec(vec<int>({2, 4, 1}), out, out); }, exits, "ERROR: index out of bounds\n"},
        {[] { fatal_error(30); }, exits, "ERROR: insufficient precision \\(use double precision\\)\n"},
        {[] { fatal_error(31); }, exits, "ERROR: unknown error\n"},
        {[] { fatal_error(-1); }, exits, "ERROR: unknown error\n"},
        {[] { Vector<double>(8, 0, 0.0)(9) = 1.0; }, aborts, indexInvalid(9)},
        {[] { (void)Vector<double>(8, 0, 0.0)(0); }, aborts, indexInvalid(0)},
        {[] { (void)Vector<double>(8, 0, 0.0)(-3); }, aborts, indexInvalid(-3)},
        {[] { (void)Vector<double>(0, 0, 0.0)(1); }, aborts, indexInvalid(1)},
        {[] { (void)static_cast<const Permutation&>(Permutation(8, 0, 0))(9); }, aborts, indexInvalid(9)},
        {[] { Matrix(2, 3, 0.0)(3, 1) = 1.0; }, aborts, indexInvalid(3)},
        {[] { (void)Matrix(2, 3, 0.0)(1, 4); }, aborts, indexInvalid(4)},
        {[] { (void)Matrix(2, 3, 0.0).row(0); }, aborts, indexInvalid(0)},
        {[] { (void)(Matrix(2, 3, 1.0) * Matrix(2, 3, 1.0)); }, aborts, assertion(
            "matrix\\.cpp:[0-9]+: linal::Matrix linal::operator\\*\\(const Matrix&, const Matrix&\\)", "A\\.n == B\\.m")},
        {[] { (void)inverse(Matrix(2, 3, 1.0)); }, aborts,
         assertion("matrix\\.cpp:[0-9]+: linal::Matrix linal::inverse\\(const Matrix&\\)", "m==n")},
        {[] { m_put_col(square = Matrix(3, 3, 0.0), 4, Vector<double>(3, 0, 1.0)); }, aborts, assertion(
            "mes_eig\\.cpp:[0-9]+: void linal::m_put_col\\(Matrix&, int, const Vector<double>&\\)", "col <= NumCols\\(mat\\)")},
    };
    // clang-format on
    for (const Death& d : table) {
        SCOPED_TRACE(d.stderrPattern);  // names the row
        // Standard output joins the captured stream: the whole-stream match also proves that
        // nothing went there.
        const auto run = [&] {
            std::setvbuf(stdout, nullptr, _IONBF, 0);
            dup2(STDERR_FILENO, STDOUT_FILENO);
            d.run();
        };
        EXPECT_EXIT(run(), d.status, "^" + d.stderrPattern + "$");
    }
}

}  // namespace
