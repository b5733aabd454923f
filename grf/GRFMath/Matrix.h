// Matrix<float>, Matrix4x4<float>, Matrix3x3<float>: small row-major float matrices acting on column vectors.
#pragma once

#include <mutex>

#include "grf/GRFExport.h"

namespace GRF {

// A dense rows x cols matrix. Every row is its own heap array; freshly allocated storage always holds
// the identity pattern (1 where row equals column, 0 elsewhere, also for non-square shapes).
// Only the float instantiation exists. A matrix is used by one thread at a time; its mutex guards
// only the release of its storage.
template <typename T>
class GRF_EXPORT Matrix {
public:
    // A negative shape, or one whose flat array would exceed the int byte count, leaves a 0 x 0 matrix.
    Matrix(int rows, int cols);
    Matrix(const Matrix& other);
    ~Matrix();

    // Same shape: nothing changes (a matrix without storage gets the identity pattern). New shape:
    // the storage is replaced by the identity pattern.
    // Returns 0, or -1 (logged, matrix unchanged) for a negative or oversized shape.
    int resize(int rows, int cols);

    // Releases the storage and keeps the shape. Until storage is allocated again (alloc, a resize to
    // another shape, or an assignment) element access is refused and logged: get returns 0, set
    // returns -1, get_mat writes zeros, and the builders and the product refuse to compute.
    void free();

    // Gives the matrix fresh identity-pattern storage of rows x cols and takes that shape; storage
    // held before is released. A shape with a zero count changes nothing; a negative or oversized
    // shape is refused (logged, matrix unchanged). When allocating fails, the standard
    // out-of-memory exception passes and the matrix is unchanged.
    void alloc(int rows, int cols);

    int rows() const { return _rows; }
    int cols() const { return _cols; }

    // Element (row, col). Out of the shape or without storage: get returns 0 and set returns -1,
    // both logged.
    T get(int row, int col) const;
    int set(int row, int col, T value);

    // The cols x rows matrix whose element (i, j) is this one's element (j, i); without storage
    // when this one has none.
    Matrix transpose() const;

    // Takes the other's shape and elements; assigning a matrix to itself leaves it unchanged.
    Matrix& operator=(const Matrix& other);

    // Writes the elements row after row (element (i, j) at i * cols + j) into out and returns out.
    // With a null out the buffer comes from malloc and the caller frees it; null when malloc fails.
    T* get_mat(T* out) const;

    // Byte size of the flat array that get_mat writes.
    int get_mat_len() const;

protected:
    T** rows_table() const { return _data; }

private:
    friend Matrix<float> operator*(const Matrix<float>& a, const Matrix<float>& b);

    // Installs identity-pattern storage of rows x cols (none for a zero count) in place of the
    // current one and takes the shape. The new storage is complete before the old is released, so
    // a failed allocation leaves the matrix as it was.
    void replace_storage(int rows, int cols);

    int _rows;
    int _cols;
    std::mutex _mutex;
    T** _data;
};

// The product a * b, of shape a.rows x b.cols. When a.cols differs from b.rows, or an operand has
// no storage, the result stays all zero and the reason is logged.
GRF_EXPORT Matrix<float> operator*(const Matrix<float>& a, const Matrix<float>& b);

// A 4 x 4 matrix with builders for projection, scale and translation. It takes the shape of any
// matrix assigned to it; the builders refuse to write unless the shape is 4 x 4 with storage.
template <typename T>
class GRF_EXPORT Matrix4x4 : public Matrix<T> {
public:
    Matrix4x4();
    Matrix4x4(const Matrix<T>& m);
    Matrix4x4(const Matrix4x4& m);
    ~Matrix4x4();

    Matrix4x4& operator=(const Matrix<T>& m);
    Matrix4x4& operator=(const Matrix4x4& m);

    // Orthographic projection: x in [left, right] to [-1, 1], y from top (+1) to bottom (-1),
    // z from znear (-1) to zfar (+1). Overwrites all 16 elements. Returns 0, or -1 (logged, nothing
    // written) for an empty range or a shape other than 4 x 4.
    int set_ortho(T left, T right, T top, T bottom, T znear, T zfar);

    // Overwrites all 16 elements with the diagonal (sx, sy, sz, 1). Returns 0, or -1 when not 4 x 4.
    int set_scale(T sx, T sy, T sz);

    // Writes the translation column (0,3), (1,3), (2,3) only. Returns 0, or -1 when not 4 x 4.
    int set_trans(T tx, T ty, T tz);

private:
    // True for a 4 x 4 shape with storage; otherwise logs why the builder named `caller` refuses.
    bool writable_4x4(const char* caller) const;
};

// The 3 x 3 counterpart, handed to the 3 x 3 uniform setters.
template <typename T>
class GRF_EXPORT Matrix3x3 : public Matrix<T> {
public:
    Matrix3x3();
    Matrix3x3(const Matrix<T>& m);
    Matrix3x3(const Matrix3x3& m);
    ~Matrix3x3();

    Matrix3x3& operator=(const Matrix<T>& m);
    Matrix3x3& operator=(const Matrix3x3& m);
};

extern template class Matrix<float>;
extern template class Matrix4x4<float>;
extern template class Matrix3x3<float>;

} // namespace GRF
