// Fields of the model: 1-based arrays with the first index fastest, so that
// formulas read A(i, j, k) as the model writes them. The storage is one
// contiguous block, filled by one read from a file (or by the reads of a
// section).
#pragma once

#include <algorithm>
#include <cstddef>
#ifdef MURAL_FIELD_CHECKS
#include <cstdio>
#include <cstdlib>
#endif
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

// A read-only window of n1 x n2 values of a field, indexed 1-based like the
// field, that borrows them instead of copying: a whole Field2D, or a part of
// one level of a Field3D. The field must outlive the view.
template <typename T>
class FieldView2D {
public:
    FieldView2D() = default;
    // A Field2D passes where a view is asked for: the view of all its values.
    FieldView2D(const Field2D<T>& f) : first_(f.span().data()), n1_(f.n1()), n2_(f.n2()), stride_(f.n1()) {}
    // The window of n1 x n2 values from *first on, rows `stride` values apart.
    FieldView2D(const T* first, int n1, int n2, std::size_t stride) : first_(first), n1_(n1), n2_(n2), stride_(stride) {}
    int n1() const { return n1_; }
    int n2() const { return n2_; }
    const T& operator()(int i, int j) const {
#ifdef MURAL_FIELD_CHECKS
        if (i < 1 || i > n1_ || j < 1 || j > n2_) {
            std::fprintf(stderr, "FieldView2D: (%d,%d) outside the window (%d x %d)\n", i, j, n1_, n2_);
            std::abort();
        }
#endif
        return first_[static_cast<std::size_t>(i - 1) + stride_ * static_cast<std::size_t>(j - 1)];
    }

private:
    const T* first_ = nullptr;
    int n1_ = 0, n2_ = 0;
    std::size_t stride_ = 0;
};

// A box of 1-based indexes, first and last inclusive.
struct IndexBox {
    int i0 = 1, i1 = 0, j0 = 1, j1 = 0, k0 = 1, k1 = 0;
    bool empty() const { return i1 < i0 || j1 < j0 || k1 < k0; }
    bool contains(int i, int j, int k) const { return i >= i0 && i <= i1 && j >= j0 && j <= j1 && k >= k0 && k <= k1; }
    bool contains(const IndexBox& b) const {
        return b.empty() || (contains(b.i0, b.j0, b.k0) && contains(b.i1, b.j1, b.k1));
    }
    bool operator==(const IndexBox&) const = default;
};

// A field of n1 x n2 x n3 values that holds all of them, or only those of a
// box (a section read from a large run). Indexes are those of the whole
// field either way; only indexes inside the box may be used, which builds
// with MURAL_FIELD_CHECKS (the sanitizer builds) enforce.
template <typename T>
class Field3D {
public:
    Field3D() = default;
    Field3D(int n1, int n2, int n3, T value = T()) { resize(n1, n2, n3, value); }
    void resize(int n1, int n2, int n3, T value = T()) { resize_box(n1, n2, n3, {1, n1, 1, n2, 1, n3}, value); }
    // Holds the box only (clipped to the field; empty holds nothing).
    void resize_box(int n1, int n2, int n3, IndexBox box, T value = T()) {
        n1_ = n1;
        n2_ = n2;
        n3_ = n3;
        box.i0 = std::max(box.i0, 1), box.i1 = std::min(box.i1, n1);
        box.j0 = std::max(box.j0, 1), box.j1 = std::min(box.j1, n2);
        box.k0 = std::max(box.k0, 1), box.k1 = std::min(box.k1, n3);
        if (box.empty()) box = {1, 0, 1, 0, 1, 0};
        box_ = box;
        b1_ = static_cast<std::size_t>(box.i1 - box.i0 + 1);
        b2_ = static_cast<std::size_t>(box.j1 - box.j0 + 1);
        std::vector<T>().swap(data_);
        data_.assign(b1_ * b2_ * static_cast<std::size_t>(box.k1 - box.k0 + 1), value);
    }
    void clear() {
        n1_ = n2_ = n3_ = 0;
        box_ = IndexBox();
        b1_ = b2_ = 0;
        std::vector<T>().swap(data_);
    }
    int n1() const { return n1_; }
    int n2() const { return n2_; }
    int n3() const { return n3_; }
    // The indexes held; the whole field unless it holds a section.
    const IndexBox& box() const { return box_; }
    bool whole() const { return box_ == IndexBox{1, n1_, 1, n2_, 1, n3_}; }
    T& operator()(int i, int j, int k) { return data_[index(i, j, k)]; }
    const T& operator()(int i, int j, int k) const { return data_[index(i, j, k)]; }
    // The n1 x n2 values of level k from (i0, j0) on, as a view: (1, 1) is (i0, j0, k).
    FieldView2D<T> level_window(int i0, int j0, int k, int n1, int n2) const {
        if (n1 < 1 || n2 < 1) return {};
#ifdef MURAL_FIELD_CHECKS
        static_cast<void>(index(i0 + n1 - 1, j0 + n2 - 1, k));  // the far corner must be held too
#endif
        return {&data_[index(i0, j0, k)], n1, n2, b1_};
    }
    // The values held, in the order of their indexes, first index fastest.
    std::span<T> span() { return data_; }
    std::span<const T> span() const { return data_; }
    std::size_t size() const { return data_.size(); }
    bool empty() const { return data_.empty(); }

private:
    std::size_t index(int i, int j, int k) const {
#ifdef MURAL_FIELD_CHECKS
        if (!box_.contains(i, j, k)) {
            std::fprintf(stderr, "Field3D: (%d,%d,%d) outside the values held (%d..%d, %d..%d, %d..%d)\n", i, j, k,
                         box_.i0, box_.i1, box_.j0, box_.j1, box_.k0, box_.k1);
            std::abort();
        }
#endif
        return static_cast<std::size_t>(i - box_.i0) +
               b1_ * (static_cast<std::size_t>(j - box_.j0) + b2_ * static_cast<std::size_t>(k - box_.k0));
    }
    int n1_ = 0, n2_ = 0, n3_ = 0;
    IndexBox box_;
    std::size_t b1_ = 0, b2_ = 0;
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
