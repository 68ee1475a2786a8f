// Builders shared by the matrix library tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "linal/matrix.h"

inline linal::Matrix matrixOf(std::initializer_list<std::initializer_list<double>> rows) {
    const int m = static_cast<int>(rows.size());
    const int n = m == 0 ? 0 : static_cast<int>(rows.begin()->size());
    linal::Matrix A(m, n, 0.0);
    int i = 1;
    for (const auto& row : rows) {
        int j = 1;
        for (double value : row) {
            A(i, j++) = value;
        }
        ++i;
    }
    return A;
}

template <typename T>
linal::Vector<T> vectorOf(std::initializer_list<T> values) {
    linal::Vector<T> v(static_cast<int>(values.size()), 0, T(0));
    int i = 1;
    for (T value : values) {
        v(i++) = value;
    }
    return v;
}

template <typename T>
std::vector<T> elementsOf(const linal::Vector<T>& v) {
    return std::vector<T>(v.data.begin() + 1, v.data.end());
}

inline linal::Matrix randomMatrix(int m, int n, std::mt19937& rng) {
    std::uniform_real_distribution<double> entry(-1.0, 1.0);
    linal::Matrix A(m, n, 0.0);
    for (int i = 1; i <= m; ++i) {
        for (int j = 1; j <= n; ++j) {
            A(i, j) = entry(rng);
        }
    }
    return A;
}

// Diagonally dominant, then its rows shuffled so that the pivot search has work to do.
inline linal::Matrix randomWellConditioned(int n, std::mt19937& rng) {
    linal::Matrix D = randomMatrix(n, n, rng);
    for (int i = 1; i <= n; ++i) {
        D(i, i) += D(i, i) < 0 ? -n : n;
    }
    std::vector<int> order(n);
    for (int i = 0; i < n; ++i) {
        order[i] = i + 1;
    }
    std::shuffle(order.begin(), order.end(), rng);
    linal::Matrix A(n, n, 0.0);
    for (int i = 1; i <= n; ++i) {
        A.row(i) = D.row(order[i - 1]);
    }
    return A;
}

// Test names of a parameterised suite, from the case's own name field.
template <typename Case>
std::string caseName(const testing::TestParamInfo<Case>& info) {
    return info.param.name;
}
