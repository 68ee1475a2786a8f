// Every way the library ends the process, with its exact error stream and exit status.
#include <gtest/gtest.h>
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

// Joins standard output to the captured error stream, so the whole-stream match below also
// proves that nothing went to standard output.
void stdoutToStderr() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    dup2(STDERR_FILENO, STDOUT_FILENO);
}

std::string assertionLine(const std::string& location, const std::string& expr) {
    return std::string(program_invocation_short_name) + ": " + location + ": Assertion `" + expr +
           "' failed\\.\n$";
}

struct Case {
    const char* name;
    void (*run)();
    const char* stderrPattern;  // appended to "^"
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class FatalError : public testing::TestWithParam<Case> {};

TEST_P(FatalError, WritesOneLineAndExitsWithStatusOne) {
    const Case& c = GetParam();
    EXPECT_EXIT(
        {
            stdoutToStderr();
            c.run();
        },
        testing::ExitedWithCode(1), std::string("^ERROR: ") + c.stderrPattern + "\n$");
}

INSTANTIATE_TEST_SUITE_P(
    Linal, FatalError,
    testing::Values(Case{"InverseOfSingular",
                         [] {
                             inverse(matrixOf({{1, 2}, {2, 4}}));
                         },
                         "singular matrix"},
                    Case{"UsolveZeroPivot",
                         [] {
                             Vector<double> out(0, 0, 0.0);
                             Usolve(matrixOf({{1, 2}, {0, 0}}), vectorOf({1.0, 1.0}), out, 0.0);
                         },
                         "singular matrix"},
                    Case{"LsolveZeroPivot",
                         [] {
                             Vector<double> out(0, 0, 0.0);
                             Lsolve(matrixOf({{0, 0}, {1, 1}}), vectorOf({1.0, 1.0}), out, 0.0);
                         },
                         "singular matrix"},
                    Case{"MInverseNotSquare",
                         [] {
                             Matrix out(0, 0, 0.0);
                             m_inverse(Matrix(2, 3, 1.0), out);
                         },
                         "matrix not square"},
                    Case{"LUsolveShortRightHandSide",
                         [] {
                             Vector<double> x(0, 0, 0.0);
                             LUsolve(Matrix(3, 3, 1.0), Permutation(3, 0, 1),
                                     Vector<double>(2, 0, 1.0), x);
                         },
                         "sizes of objects don't match"},
                    Case{"UsolveShortRightHandSide",
                         [] {
                             Vector<double> out(0, 0, 0.0);
                             Usolve(Matrix(3, 3, 1.0), Vector<double>(2, 0, 1.0), out, 0.0);
                         },
                         "sizes of objects don't match"},
                    Case{"PermutationLongerThanVector",
                         [] {
                             Vector<double> out(0, 0, 0.0);
                             px_vec(vectorOf({1, 2, 3}), vectorOf({1.0, 2.0}), out);
                         },
                         "sizes of objects don't match"},
                    Case{"PermutationEntryOutOfRange",
                         [] {
                             Vector<double> out(0, 0, 0.0);
                             px_vec(vectorOf({2, 4, 1}), vectorOf({1.0, 2.0, 3.0}), out);
                         },
                         "index out of bounds"},
                    Case{"InPlacePermutationEntryOutOfRange",
                         [] {
                             Vector<double> b = vectorOf({1.0, 2.0, 3.0});
                             px_vec(vectorOf({2, 4, 1}), b, b);
                         },
                         "index out of bounds"},
                    Case{"LastCode", [] { fatal_error(30); },
                         "insufficient precision \\(use double precision\\)"},
                    Case{"CodeAboveTheTable", [] { fatal_error(31); }, "unknown error"},
                    Case{"NegativeCode", [] { fatal_error(-1); }, "unknown error"}),
    caseName<Case>);

class IndexInvalid : public testing::TestWithParam<Case> {};

TEST_P(IndexInvalid, WritesTheIndexAndFailsTheAssertion) {
    const Case& c = GetParam();
    EXPECT_EXIT(
        {
            stdoutToStderr();
            c.run();
        },
        testing::KilledBySignal(SIGABRT),
        std::string("^ERROR: index invalid ") + c.stderrPattern + "\n" +
            assertionLine("linal/vector\\.cpp:[0-9]+: void linal::indexInvalid\\(int\\)", "0"));
}

INSTANTIATE_TEST_SUITE_P(
    Linal, IndexInvalid,
    testing::Values(Case{"PastTheEnd", [] { Vector<double>(8, 0, 0.0)(9) = 1.0; }, "9"},
                    Case{"Zero", [] { (void)Vector<double>(8, 0, 0.0)(0); }, "0"},
                    Case{"Negative", [] { (void)Vector<double>(8, 0, 0.0)(-3); }, "-3"},
                    Case{"EmptyVector", [] { (void)Vector<double>(0, 0, 0.0)(1); }, "1"},
                    Case{"ReadOnlyPermutation",
                         [] {
                             const Permutation p(8, 0, 0);
                             (void)p(9);
                         },
                         "9"},
                    Case{"MatrixRowReportsTheRow", [] { Matrix(2, 3, 0.0)(3, 1) = 1.0; }, "3"},
                    Case{"MatrixColumnReportsTheColumn", [] { (void)Matrix(2, 3, 0.0)(1, 4); },
                         "4"},
                    Case{"MatrixRowZero", [] { (void)Matrix(2, 3, 0.0).row(0); }, "0"}),
    caseName<Case>);

struct AssertionCase {
    const char* name;
    void (*run)();
    const char* location;  // "<file>:<line>: <function>" as a pattern
    const char* expr;
};

void PrintTo(const AssertionCase& c, std::ostream* os) {
    *os << c.name;
}

class Assertion : public testing::TestWithParam<AssertionCase> {};

TEST_P(Assertion, FailsWithTheAssertLineInEveryBuildType) {
    const AssertionCase& c = GetParam();
    EXPECT_EXIT(
        {
            stdoutToStderr();
            c.run();
        },
        testing::KilledBySignal(SIGABRT), "^" + assertionLine(c.location, c.expr));
}

INSTANTIATE_TEST_SUITE_P(
    Linal, Assertion,
    testing::Values(AssertionCase{"ProductOfMismatchedShapes",
                                  [] { (void)(Matrix(2, 3, 1.0) * Matrix(2, 3, 1.0)); },
                                  "linal/matrix\\.cpp:[0-9]+: linal::Matrix linal::operator\\*\\("
                                  "const Matrix&, const Matrix&\\)",
                                  "A\\.n == B\\.m"},
                    AssertionCase{"InverseOfNonSquare", [] { (void)inverse(Matrix(2, 3, 1.0)); },
                                  "linal/matrix\\.cpp:[0-9]+: linal::Matrix linal::inverse\\("
                                  "const Matrix&\\)",
                                  "m==n"},
                    AssertionCase{"PutColumnPastTheLastColumn",
                                  [] {
                                      Matrix A(3, 3, 0.0);
                                      m_put_col(A, 4, Vector<double>(3, 0, 1.0));
                                  },
                                  "linal/mes_eig\\.cpp:[0-9]+: void linal::m_put_col\\(Matrix&, "
                                  "int, const Vector<double>&\\)",
                                  "col <= NumCols\\(mat\\)"}),
    caseName<AssertionCase>);

}  // namespace
