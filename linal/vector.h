// Vector<T>: the library's dense 1-based vector with checked element access.
//
// Storage holds len + 1 slots; slot 0 holds T's zero value and is never reached through an
// index. Copies are deep and assignment takes the source's length, flag and every slot.
// Move operations are deliberately absent: a moved-from vector would keep its len over empty
// storage, so every transfer is a copy.
#pragma once

#include <algorithm>
#include <type_traits>
#include <vector>

namespace linal {

// Writes "ERROR: index invalid <i>" to the standard error stream and ends the program
// through a failed assertion. Shared by every instantiation.
[[noreturn]] void indexInvalid(int i);

template <typename T>
class Vector {
  public:
    Vector(int length, int flag, const T& init)
        : len(length), rowFlag(flag), data(static_cast<std::size_t>(length) + 1, zero()) {
        std::fill(data.begin() + 1, data.end(), init);
    }
    Vector(const Vector&) = default;
    Vector& operator=(const Vector&) = default;
    virtual ~Vector() = default;

    T& operator()(int i) {
        check(i);
        return data[i];
    }
    const T& operator()(int i) const {
        check(i);
        return data[i];
    }

    int size() const { return len; }

    // Keeps elements 1..min(len, length); added elements take T's zero value.
    int resize(int length) {
        data.resize(static_cast<std::size_t>(length) + 1, zero());
        len = length;
        return 1;
    }

    int setRowFlag(int flag) {
        rowFlag = flag;
        return 1;
    }

    // Sets elements 1..len; slot 0 is left alone.
    Vector& fill(const T& value) {
        std::fill(data.begin() + 1, data.end(), value);
        return *this;
    }

    int len;
    int rowFlag;  // 1 on the rows a Matrix owns; carried along, read by no operation
    std::vector<T> data;

  private:
    // T's zero value: 0 for numbers, an empty row for the row container of a Matrix.
    static T zero() {
        if constexpr (std::is_arithmetic_v<T>) {
            return T(0);
        } else {
            return T(0, 0, 0.0);
        }
    }

    void check(int i) const {
        if (i < 1 || i > len) {
            indexInvalid(i);
        }
    }
};

// Entries are 1-based indices into a vector; see px_vec.
using Permutation = Vector<int>;

}  // namespace linal
