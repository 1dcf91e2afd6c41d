// Fields of the model: 1-based arrays with the first index fastest, so that
// formulas read A(i, j, k) as the model writes them. The storage is one
// contiguous block, filled by one read from a file.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace platform {

template <typename T>
class Field2D {
public:
    Field2D() = default;
    Field2D(int n1, int n2, T value = T()) { resize(n1, n2, value); }
    void resize(int n1, int n2, T value = T()) {
        n1_ = n1;
        n2_ = n2;
        data_.assign(static_cast<std::size_t>(n1) * static_cast<std::size_t>(n2), value);
    }
    int n1() const { return n1_; }
    int n2() const { return n2_; }
    T& operator()(int i, int j) { return data_[index(i, j)]; }
    const T& operator()(int i, int j) const { return data_[index(i, j)]; }
    std::span<T> span() { return data_; }
    std::span<const T> span() const { return data_; }
    std::size_t size() const { return data_.size(); }
    bool empty() const { return data_.empty(); }

private:
    std::size_t index(int i, int j) const {
        return static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(n1_) * static_cast<std::size_t>(j - 1);
    }
    int n1_ = 0, n2_ = 0;
    std::vector<T> data_;
};

template <typename T>
class Field3D {
public:
    Field3D() = default;
    Field3D(int n1, int n2, int n3, T value = T()) { resize(n1, n2, n3, value); }
    void resize(int n1, int n2, int n3, T value = T()) {
        n1_ = n1;
        n2_ = n2;
        n3_ = n3;
        data_.assign(static_cast<std::size_t>(n1) * static_cast<std::size_t>(n2) * static_cast<std::size_t>(n3),
                     value);
    }
    void clear() {
        n1_ = n2_ = n3_ = 0;
        std::vector<T>().swap(data_);
    }
    int n1() const { return n1_; }
    int n2() const { return n2_; }
    int n3() const { return n3_; }
    T& operator()(int i, int j, int k) { return data_[index(i, j, k)]; }
    const T& operator()(int i, int j, int k) const { return data_[index(i, j, k)]; }
    std::span<T> span() { return data_; }
    std::span<const T> span() const { return data_; }
    std::size_t size() const { return data_.size(); }
    bool empty() const { return data_.empty(); }

private:
    std::size_t index(int i, int j, int k) const {
        return static_cast<std::size_t>(i - 1) +
               static_cast<std::size_t>(n1_) *
                   (static_cast<std::size_t>(j - 1) + static_cast<std::size_t>(n2_) * static_cast<std::size_t>(k - 1));
    }
    int n1_ = 0, n2_ = 0, n3_ = 0;
    std::vector<T> data_;
};

// A 1-based vector (grid coordinates, profiles): A(1) is the first element.
template <typename T>
class Array1D {
public:
    Array1D() = default;
    explicit Array1D(int n, T value = T()) { resize(n, value); }
    void resize(int n, T value = T()) { data_.assign(static_cast<std::size_t>(n), value); }
    int n() const { return static_cast<int>(data_.size()); }
    T& operator()(int i) { return data_[static_cast<std::size_t>(i - 1)]; }
    const T& operator()(int i) const { return data_[static_cast<std::size_t>(i - 1)]; }
    std::span<T> span() { return data_; }
    std::span<const T> span() const { return data_; }
    std::size_t size() const { return data_.size(); }
    bool empty() const { return data_.empty(); }
    void clear() { std::vector<T>().swap(data_); }

private:
    std::vector<T> data_;
};

}  // namespace platform
