// Every way the library ends the process, with its exact error stream and exit status.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>

#include "linal/mes_eig.h"
#include "linal/mes_err.h"
#include "linal/mes_factor.h"
#include "linal/mes_perm.h"
#include "linal/mes_solve.h"
#include "support.h"

using namespace linal;

namespace {

std::string assertion(const std::string& location, const std::string& expr) {
    return std::string(program_invocation_short_name) + ": linal/" + location + ": Assertion `" +
           expr + "' failed\\.\n";
}
const std::string indexCheck =
    assertion("vector\\.cpp:[0-9]+: void linal::indexInvalid\\(int\\)", "0");

struct Death {
    void (*run)();
    bool aborts;          // SIGABRT, else exit status 1
    std::string stderr_;  // the whole stream, as a pattern
};

Vector<double> out(0, 0, 0.0);

TEST(Linal, DiesWithTheExactMessageAndStatus) {
    const Death table[] = {
        {[] {
             inverse(matrixOf({{1, 2}, {2, 4}}));
         },
         false, "ERROR: singular matrix\n"},
        {[] {
             Usolve(matrixOf({{1, 2}, {0, 0}}), vectorOf({1.0, 1.0}), out, 0.0);
         },
         false, "ERROR: singular matrix\n"},
        {[] {
             Lsolve(matrixOf({{0, 0}, {1, 1}}), vectorOf({1.0, 1.0}), out, 0.0);
         },
         false, "ERROR: singular matrix\n"},
        {[] {
             Matrix m(0, 0, 0.0);
             m_inverse(Matrix(2, 3, 1.0), m);
         },
         false, "ERROR: matrix not square\n"},
        {[] { LUsolve(Matrix(3, 3, 1.0), Permutation(3, 0, 1), Vector<double>(2, 0, 1.0), out); },
         false, "ERROR: sizes of objects don't match\n"},
        {[] { Usolve(Matrix(3, 3, 1.0), Vector<double>(2, 0, 1.0), out, 0.0); }, false,
         "ERROR: sizes of objects don't match\n"},
        {[] {
             px_vec(vectorOf({1, 2, 3}), vectorOf({1.0, 2.0}), out);
         },
         false, "ERROR: sizes of objects don't match\n"},
        {[] {
             px_vec(vectorOf({2, 4, 1}), vectorOf({1.0, 2.0, 3.0}), out);
         },
         false, "ERROR: index out of bounds\n"},
        {[] {
             Vector<double> b = vectorOf({1.0, 2.0, 3.0});
             px_vec(vectorOf({2, 4, 1}), b, b);
         },
         false, "ERROR: index out of bounds\n"},
        {[] { fatal_error(30); }, false,
         "ERROR: insufficient precision \\(use double precision\\)\n"},
        {[] { fatal_error(31); }, false, "ERROR: unknown error\n"},
        {[] { fatal_error(-1); }, false, "ERROR: unknown error\n"},
        {[] { Vector<double>(8, 0, 0.0)(9) = 1.0; }, true, "ERROR: index invalid 9\n" + indexCheck},
        {[] { (void)Vector<double>(8, 0, 0.0)(0); }, true, "ERROR: index invalid 0\n" + indexCheck},
        {[] { (void)Vector<double>(8, 0, 0.0)(-3); }, true,
         "ERROR: index invalid -3\n" + indexCheck},
        {[] { (void)Vector<double>(0, 0, 0.0)(1); }, true, "ERROR: index invalid 1\n" + indexCheck},
        {[] {
             const Permutation p(8, 0, 0);
             (void)p(9);
         },
         true, "ERROR: index invalid 9\n" + indexCheck},
        {[] { Matrix(2, 3, 0.0)(3, 1) = 1.0; }, true, "ERROR: index invalid 3\n" + indexCheck},
        {[] { (void)Matrix(2, 3, 0.0)(1, 4); }, true, "ERROR: index invalid 4\n" + indexCheck},
        {[] { (void)Matrix(2, 3, 0.0).row(0); }, true, "ERROR: index invalid 0\n" + indexCheck},
        {[] { (void)(Matrix(2, 3, 1.0) * Matrix(2, 3, 1.0)); }, true,
         assertion("matrix\\.cpp:[0-9]+: linal::Matrix linal::operator\\*\\(const Matrix&, const "
                   "Matrix&\\)",
                   "A\\.n == B\\.m")},
        {[] { (void)inverse(Matrix(2, 3, 1.0)); }, true,
         assertion("matrix\\.cpp:[0-9]+: linal::Matrix linal::inverse\\(const Matrix&\\)", "m==n")},
        {[] {
             Matrix A(3, 3, 0.0);
             m_put_col(A, 4, Vector<double>(3, 0, 1.0));
         },
         true,
         assertion("mes_eig\\.cpp:[0-9]+: void linal::m_put_col\\(Matrix&, int, const "
                   "Vector<double>&\\)",
                   "col <= NumCols\\(mat\\)")},
    };
    for (const Death& d : table) {
        SCOPED_TRACE(d.stderr_);
        // Standard output joins the captured stream: the whole-stream match also proves
        // that nothing went there.
        const auto run = [&] {
            std::setvbuf(stdout, nullptr, _IONBF, 0);
            dup2(STDERR_FILENO, STDOUT_FILENO);
            d.run();
        };
        if (d.aborts)
            EXPECT_EXIT(run(), testing::KilledBySignal(SIGABRT), "^" + d.stderr_ + "$");
        else
            EXPECT_EXIT(run(), testing::ExitedWithCode(1), "^" + d.stderr_ + "$");
    }
}

}  // namespace
