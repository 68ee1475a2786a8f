// Builders shared by the matrix library tests.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <random>
#include <vector>

#include "linal/matrix.h"

inline linal::Matrix matrixOf(std::initializer_list<std::initializer_list<double>> rows) {
    linal::Matrix A(int(rows.size()), rows.size() == 0 ? 0 : int(rows.begin()->size()), 0.0);
    int i = 0;
    for (const auto& row : rows) {
        int j = 0;
        ++i;
        for (double value : row)
            A(i, ++j) = value;
    }
    return A;
}

template <typename T>
linal::Vector<T> vectorOf(std::initializer_list<T> values) {
    linal::Vector<T> v(static_cast<int>(values.size()), 0, T(0));
    std::copy(values.begin(), values.end(), v.data.begin() + 1);
    return v;
}

template <typename T>
std::vector<T> elementsOf(const linal::Vector<T>& v) {
    return std::vector<T>(v.data.begin() + 1, v.data.end());
}

// Entries in [-1, 1); `dominant` adds ±n on the diagonal and shuffles the rows, so the
// matrix is well conditioned and the pivot search has work to do.
inline linal::Matrix randomMatrix(int m, int n, std::mt19937& rng, bool dominant = false) {
    std::uniform_real_distribution<double> entry(-1.0, 1.0);
    linal::Matrix A(m, n, 0.0);
    std::vector<int> order(static_cast<std::size_t>(m));
    for (int i = 1; i <= m; ++i) {
        order[std::size_t(i - 1)] = i;
        for (int j = 1; j <= n; ++j)
            A(i, j) = entry(rng) + (dominant && i == j ? n : 0);
    }
    if (dominant)
        std::shuffle(order.begin(), order.end(), rng);
    linal::Matrix shuffled(m, n, 0.0);
    for (int i = 1; i <= m; ++i)
        shuffled.row(i) = A.row(order[std::size_t(i - 1)]);
    return shuffled;
}
