// Matrix<float>, Matrix4x4<float>, Matrix3x3<float>: storage, product, transpose and the 4 x 4 builders.
#include "grf/GRFMath/Matrix.h"

#include <climits>
#include <cmath>
#include <cstdlib>

#include "grf/GRFLog.h"

namespace GRF {

namespace {

// A shape is usable when neither count is negative and its flat array's byte count fits an int,
// which is what get_mat_len reports.
bool shape_is_valid(int rows, int cols)
{
    if (rows < 0 || cols < 0)
        return false;
    return cols == 0 || static_cast<long long>(rows) * cols * static_cast<long long>(sizeof(float)) <= INT_MAX;
}

// Row table and rows of the identity pattern, both counts positive. Nothing leaks when a row
// allocation fails: the row table is value-initialised, so only null slots are left to release.
template <typename T>
T** new_identity(int rows, int cols)
{
    T** table = new T*[rows]();
    try {
        for (int i = 0; i < rows; ++i) {
            table[i] = new T[cols]();
            if (i < cols)
                table[i][i] = T(1);
        }
    } catch (...) {
        for (int i = 0; i < rows; ++i)
            delete[] table[i];
        delete[] table;
        throw;
    }
    return table;
}

} // namespace

template <typename T>
Matrix<T>::Matrix(int rows, int cols)
    : _rows(0)
    , _cols(0)
    , _data(nullptr)
{
    resize(rows, cols);
}

template <typename T>
Matrix<T>::Matrix(const Matrix& other)
    : _rows(0)
    , _cols(0)
    , _data(nullptr)
{
    *this = other;
}

template <typename T>
Matrix<T>::~Matrix()
{
    free();
}

template <typename T>
int Matrix<T>::resize(int rows, int cols)
{
    if (!shape_is_valid(rows, cols)) {
        GRF_LOG("Matrix resize Error, invalid shape (%d, %d)\n", rows, cols);
        return -1;
    }
    // The same shape keeps the contents; after free there are none to keep, so storage is made.
    if (rows == _rows && cols == _cols && (_data || rows == 0 || cols == 0))
        return 0;
    replace_storage(rows, cols);
    return 0;
}

template <typename T>
void Matrix<T>::free()
{
    std::lock_guard<std::mutex> lock(_mutex);
    if (_data) {
        for (int i = 0; i < _rows; ++i) {
            delete[] _data[i];
            _data[i] = nullptr;
        }
        delete[] _data;
        _data = nullptr;
    }
}

template <typename T>
void Matrix<T>::alloc(int rows, int cols)
{
    if (rows == 0 || cols == 0)
        return;
    if (!shape_is_valid(rows, cols)) {
        GRF_LOG("Matrix alloc Error, invalid shape (%d, %d)\n", rows, cols);
        return;
    }
    // Earlier rows are released and the shape recorded: a bare allocation would leak them and leave a stale shape.
    replace_storage(rows, cols);
}

template <typename T>
void Matrix<T>::replace_storage(int rows, int cols)
{
    T** table = (rows == 0 || cols == 0) ? nullptr : new_identity<T>(rows, cols);
    free();
    _data = table;
    _rows = rows;
    _cols = cols;
}

template <typename T>
T Matrix<T>::get(int row, int col) const
{
    if (row < 0 || row >= _rows || col < 0 || col >= _cols) {
        GRF_LOG("Matrix get Error, element (%d, %d) outside shape (%d, %d)\n", row, col, _rows, _cols);
        return T(0);
    }
    if (!_data) {
        GRF_LOG("Matrix get Error, element (%d, %d) of a matrix without storage\n", row, col);
        return T(0);
    }
    return _data[row][col];
}

template <typename T>
int Matrix<T>::set(int row, int col, T value)
{
    if (row < 0 || row >= _rows || col < 0 || col >= _cols) {
        GRF_LOG("Matrix set Error, element (%d, %d) outside shape (%d, %d)\n", row, col, _rows, _cols);
        return -1;
    }
    if (!_data) {
        GRF_LOG("Matrix set Error, element (%d, %d) of a matrix without storage\n", row, col);
        return -1;
    }
    _data[row][col] = value;
    return 0;
}

template <typename T>
Matrix<T> Matrix<T>::transpose() const
{
    Matrix result(_cols, _rows);
    if (!_data) {
        result.free();
        return result;
    }
    for (int i = 0; i < _cols; ++i)
        for (int j = 0; j < _rows; ++j)
            result._data[i][j] = _data[j][i];
    return result;
}

template <typename T>
Matrix<T>& Matrix<T>::operator=(const Matrix& other)
{
    if (&other == this)
        return *this;
    if (!other._data) {
        // A copy of a matrix without storage has none either, but the same shape.
        free();
        _rows = other._rows;
        _cols = other._cols;
        return *this;
    }
    if (!_data || _rows != other._rows || _cols != other._cols)
        replace_storage(other._rows, other._cols);
    for (int i = 0; i < _rows; ++i)
        for (int j = 0; j < _cols; ++j)
            _data[i][j] = other._data[i][j];
    return *this;
}

template <typename T>
T* Matrix<T>::get_mat(T* out) const
{
    if (!out) {
        out = static_cast<T*>(std::malloc(static_cast<size_t>(_rows) * static_cast<size_t>(_cols) * sizeof(T)));
        if (!out)
            return nullptr;
    }
    if (!_data && _rows > 0 && _cols > 0) {
        // The caller gets a defined array (an all-zero matrix draws nothing), not stale memory.
        GRF_LOG("Matrix get_mat Error, shape (%d, %d) without storage\n", _rows, _cols);
        for (int i = 0; i < _rows * _cols; ++i)
            out[i] = T(0);
        return out;
    }
    for (int i = 0; i < _rows; ++i)
        for (int j = 0; j < _cols; ++j)
            out[i * _cols + j] = _data[i][j];
    return out;
}

template <typename T>
int Matrix<T>::get_mat_len() const
{
    return _rows * _cols * static_cast<int>(sizeof(T));
}

Matrix<float> operator*(const Matrix<float>& a, const Matrix<float>& b)
{
    Matrix<float> result(a.rows(), b.cols());
    for (int i = 0; i < result.rows(); ++i)
        for (int j = 0; j < result.cols(); ++j)
            result.set(i, j, 0.0f);
    if (b.rows() != a.cols()) {
        GRF_LOG("Matrix * Error, Matrix A Shape (%d, %d) != Matrix B Shape (%d, %d)\n", a.rows(), a.cols(), b.rows(),
                b.cols());
        return result;
    }
    if ((!a._data && a.rows() > 0 && a.cols() > 0) || (!b._data && b.rows() > 0 && b.cols() > 0)) {
        GRF_LOG("Matrix * Error, operand without storage\n");
        return result;
    }
    for (int i = 0; i < result.rows(); ++i) {
        for (int j = 0; j < result.cols(); ++j) {
            float sum = 0.0f;
            for (int k = 0; k < a.cols(); ++k)
                sum = std::fma(a.get(i, k), b.get(k, j), sum);
            result.set(i, j, sum);
        }
    }
    return result;
}

template <typename T>
Matrix4x4<T>::Matrix4x4()
    : Matrix<T>(4, 4)
{
}

template <typename T>
Matrix4x4<T>::Matrix4x4(const Matrix<T>& m)
    : Matrix<T>(m)
{
}

template <typename T>
Matrix4x4<T>::Matrix4x4(const Matrix4x4& m)
    : Matrix<T>(m)
{
}

template <typename T>
Matrix4x4<T>::~Matrix4x4() = default;

template <typename T>
Matrix4x4<T>& Matrix4x4<T>::operator=(const Matrix<T>& m)
{
    if (&m != this)
        Matrix<T>::operator=(m);
    return *this;
}

template <typename T>
Matrix4x4<T>& Matrix4x4<T>::operator=(const Matrix4x4& m)
{
    return *this = static_cast<const Matrix<T>&>(m);
}

template <typename T>
bool Matrix4x4<T>::writable_4x4(const char* caller) const
{
    if (this->rows() != 4 || this->cols() != 4) {
        GRF_LOG("Matrix4x4 %s Error, shape (%d, %d) is not (4, 4)\n", caller, this->rows(), this->cols());
        return false;
    }
    if (!this->rows_table()) {
        GRF_LOG("Matrix4x4 %s Error, no storage\n", caller);
        return false;
    }
    return true;
}

template <typename T>
int Matrix4x4<T>::set_ortho(T left, T right, T top, T bottom, T znear, T zfar)
{
    if (!writable_4x4("set_ortho"))
        return -1;
    const T width = right - left;
    const T height = top - bottom;
    const T depth = zfar - znear;
    // An empty range would divide by zero and fill the projection with infinities.
    if (width == T(0) || height == T(0) || depth == T(0)) {
        GRF_LOG("Matrix4x4 set_ortho Error, empty range (%f, %f, %f)\n", static_cast<double>(width),
                static_cast<double>(height), static_cast<double>(depth));
        return -1;
    }
    T** m = this->rows_table();
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m[i][j] = T(0);
    m[0][0] = static_cast<T>(2.0 / static_cast<double>(width));
    m[1][1] = static_cast<T>(2.0 / static_cast<double>(height));
    m[2][2] = static_cast<T>(-2.0 / static_cast<double>(depth));
    m[0][3] = -(right + left) / width;
    m[1][3] = -(top + bottom) / height;
    m[2][3] = -(zfar + znear) / depth;
    m[3][3] = T(1);
    return 0;
}

template <typename T>
int Matrix4x4<T>::set_scale(T sx, T sy, T sz)
{
    if (!writable_4x4("set_scale"))
        return -1;
    T** m = this->rows_table();
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m[i][j] = T(0);
    m[0][0] = sx;
    m[1][1] = sy;
    m[2][2] = sz;
    m[3][3] = T(1);
    return 0;
}

template <typename T>
int Matrix4x4<T>::set_trans(T tx, T ty, T tz)
{
    if (!writable_4x4("set_trans"))
        return -1;
    T** m = this->rows_table();
    m[0][3] = tx;
    m[1][3] = ty;
    m[2][3] = tz;
    return 0;
}

template <typename T>
Matrix3x3<T>::Matrix3x3()
    : Matrix<T>(3, 3)
{
}

template <typename T>
Matrix3x3<T>::Matrix3x3(const Matrix<T>& m)
    : Matrix<T>(m)
{
}

template <typename T>
Matrix3x3<T>::Matrix3x3(const Matrix3x3& m)
    : Matrix<T>(m)
{
}

template <typename T>
Matrix3x3<T>::~Matrix3x3() = default;

template <typename T>
Matrix3x3<T>& Matrix3x3<T>::operator=(const Matrix<T>& m)
{
    if (&m != this)
        Matrix<T>::operator=(m);
    return *this;
}

template <typename T>
Matrix3x3<T>& Matrix3x3<T>::operator=(const Matrix3x3& m)
{
    return *this = static_cast<const Matrix<T>&>(m);
}

template class Matrix<float>;
template class Matrix4x4<float>;
template class Matrix3x3<float>;

} // namespace GRF
