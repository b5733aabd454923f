// Matrix, Matrix4x4, Matrix3x3: identity storage, shapes, flattening, product, transpose and the 4 x 4 builders.
#include "grf/GRFMath/Matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

using GRF::Matrix;
using GRF::Matrix3x3;
using GRF::Matrix4x4;

namespace {

std::vector<float> flat(const Matrix<float>& m)
{
    std::vector<float> out(static_cast<size_t>(m.rows() * m.cols()));
    m.get_mat(out.data());
    return out;
}

// Fills every element with a value that names its position: 10 * row + col + 1.
void fill_with_positions(Matrix<float>& m)
{
    for (int i = 0; i < m.rows(); ++i)
        for (int j = 0; j < m.cols(); ++j)
            m.set(i, j, static_cast<float>(10 * i + j + 1));
}

// The message part of one log record: the text after "[<file>(<line>)] ", or "" when `record`
// does not start with the expected file's prefix.
std::string message_of(const std::string& record, const std::string& file)
{
    const std::string prefix = "[" + file + "(";
    const size_t end = record.find(")] ");
    if (record.compare(0, prefix.size(), prefix) != 0 || end == std::string::npos)
        return "";
    return record.substr(end + 3);
}

} // namespace

TEST(Matrix, NewStorageHoldsIdentityPatternForAnyShape)
{
    Matrix<float> tall(3, 2);
    EXPECT_EQ(tall.rows(), 3);
    EXPECT_EQ(tall.cols(), 2);
    EXPECT_EQ(flat(tall), (std::vector<float>{1, 0, 0, 1, 0, 0}));

    Matrix<float> wide(2, 3);
    EXPECT_EQ(flat(wide), (std::vector<float>{1, 0, 0, 0, 1, 0}));

    Matrix<float> empty(0, 5);
    EXPECT_EQ(empty.get_mat_len(), 0);
    EXPECT_EQ(Matrix<float>(5, 0).get_mat_len(), 0);
}

TEST(Matrix, ResizeKeepsSameShapeAndResetsNewShape)
{
    Matrix<float> m(2, 2);
    fill_with_positions(m);
    EXPECT_EQ(m.resize(2, 2), 0);
    EXPECT_EQ(flat(m), (std::vector<float>{1, 2, 11, 12}));

    EXPECT_EQ(m.resize(2, 3), 0);
    EXPECT_EQ(flat(m), (std::vector<float>{1, 0, 0, 0, 1, 0}));
}

TEST(Matrix, InvalidShapesAreRefused)
{
    testing::internal::CaptureStderr();
    Matrix<float> negative(-1, 4);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(message_of(log, "Matrix.cpp"), "Matrix resize Error, invalid shape (-1, 4)\n") << log;
    EXPECT_EQ(negative.rows(), 0);
    EXPECT_EQ(negative.cols(), 0);

    Matrix<float> m(2, 2);
    fill_with_positions(m);
    testing::internal::CaptureStderr();
    EXPECT_EQ(m.resize(3, -2), -1);
    // 40000 x 20000 floats would be 3.2e9 bytes, more than get_mat_len can report.
    EXPECT_EQ(m.resize(40000, 20000), -1);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(m.rows(), 2);
    EXPECT_EQ(flat(m), (std::vector<float>{1, 2, 11, 12}));
}

TEST(Matrix, FreeKeepsTheShapeAndRefusesElementsUntilStorageReturns)
{
    Matrix<float> m(3, 3);
    fill_with_positions(m);
    m.free();
    EXPECT_EQ(m.rows(), 3);
    EXPECT_EQ(m.cols(), 3);
    EXPECT_EQ(m.get_mat_len(), 36);

    Matrix4x4<float> placed;
    placed.free();
    testing::internal::CaptureStderr();
    EXPECT_EQ(m.set(1, 1, 5.0f), -1);
    EXPECT_EQ(m.get(1, 1), 0.0f);
    EXPECT_EQ(flat(m), std::vector<float>(9, 0.0f));
    EXPECT_EQ(placed.set_trans(1, 2, 3), -1);
    EXPECT_EQ(flat(Matrix4x4<float>() * placed), std::vector<float>(16, 0.0f));
    Matrix<float> copy(m);
    EXPECT_EQ(copy.rows(), 3);
    EXPECT_EQ(copy.set(0, 0, 1.0f), -1);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Matrix set Error, element (1, 1) of a matrix without storage\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Matrix4x4 set_trans Error, no storage\n"), std::string::npos) << log;

    // Asking again for the same shape makes storage.
    EXPECT_EQ(m.resize(3, 3), 0);
    EXPECT_EQ(flat(m), (std::vector<float>{1, 0, 0, 0, 1, 0, 0, 0, 1}));
}

TEST(Matrix, AllocReplacesStorageWithTheIdentityOfItsShape)
{
    Matrix<float> m(2, 2);
    fill_with_positions(m);
    m.alloc(2, 3);
    EXPECT_EQ(m.rows(), 2);
    EXPECT_EQ(m.cols(), 3);
    EXPECT_EQ(flat(m), (std::vector<float>{1, 0, 0, 0, 1, 0}));

    m.alloc(0, 5);
    testing::internal::CaptureStderr();
    m.alloc(-1, 2);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(message_of(log, "Matrix.cpp"), "Matrix alloc Error, invalid shape (-1, 2)\n") << log;
    EXPECT_EQ(m.cols(), 3);
    EXPECT_EQ(flat(m), (std::vector<float>{1, 0, 0, 0, 1, 0}));

    m.free();
    m.alloc(2, 2);
    EXPECT_EQ(flat(m), (std::vector<float>{1, 0, 0, 1}));
}

TEST(Matrix, ElementAccessOutsideTheShapeIsRefused)
{
    Matrix<float> m(2, 3);
    testing::internal::CaptureStderr();
    EXPECT_EQ(m.set(2, 0, 5.0f), -1);
    EXPECT_EQ(m.set(0, 3, 5.0f), -1);
    EXPECT_EQ(m.get(0, -1), 0.0f);
    EXPECT_EQ(m.get(2, 2), 0.0f);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Matrix set Error, element (2, 0) outside shape (2, 3)\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Matrix get Error, element (2, 2) outside shape (2, 3)\n"), std::string::npos) << log;
    EXPECT_EQ(flat(m), (std::vector<float>{1, 0, 0, 0, 1, 0}));

    EXPECT_EQ(m.set(1, 2, 7.0f), 0);
    EXPECT_EQ(m.get(1, 2), 7.0f);
}

TEST(Matrix, CopiesAndAssignmentsOwnTheirStorage)
{
    Matrix<float> source(2, 3);
    fill_with_positions(source);

    Matrix<float> copy(source);
    copy.set(0, 0, -1.0f);
    EXPECT_EQ(source.get(0, 0), 1.0f);
    EXPECT_EQ(flat(copy), (std::vector<float>{-1, 2, 3, 11, 12, 13}));

    Matrix<float> assigned(4, 4);
    assigned = source;
    EXPECT_EQ(assigned.rows(), 2);
    EXPECT_EQ(assigned.cols(), 3);
    assigned.set(1, 2, 0.0f);
    EXPECT_EQ(source.get(1, 2), 13.0f);

    Matrix<float>& alias = source;
    source = alias;
    EXPECT_EQ(flat(source), (std::vector<float>{1, 2, 3, 11, 12, 13}));
}

TEST(Matrix, GetMatFlattensRowByRow)
{
    Matrix4x4<float> translation;
    EXPECT_EQ(translation.get_mat_len(), 64);
    EXPECT_EQ(translation.set_trans(5, 6, 7), 0);
    const std::vector<float> expected{1, 0, 0, 5, 0, 1, 0, 6, 0, 0, 1, 7, 0, 0, 0, 1};
    EXPECT_EQ(flat(translation), expected);

    float own[16];
    EXPECT_EQ(translation.get_mat(own), own);

    float* allocated = translation.get_mat(nullptr);
    ASSERT_NE(allocated, nullptr);
    EXPECT_EQ(std::vector<float>(allocated, allocated + 16), expected);
    std::free(allocated);

    Matrix<float> wide(2, 3);
    fill_with_positions(wide);
    EXPECT_EQ(wide.get_mat_len(), 24);
    EXPECT_EQ(flat(wide), (std::vector<float>{1, 2, 3, 11, 12, 13}));
}

TEST(Matrix, ProductOfMatchingShapes)
{
    // (2 x 3) * (3 x 2), worked by hand: row i of a dotted with column j of b.
    Matrix<float> a(2, 3);
    fill_with_positions(a);  // 1 2 3 / 11 12 13
    Matrix<float> b(3, 2);
    fill_with_positions(b);  // 1 2 / 11 12 / 21 22
    Matrix<float> product = a * b;
    ASSERT_EQ(product.rows(), 2);
    ASSERT_EQ(product.cols(), 2);
    EXPECT_EQ(flat(product), (std::vector<float>{1 + 22 + 63, 2 + 24 + 66, 11 + 132 + 273, 22 + 144 + 286}));

    Matrix4x4<float> scale;
    scale.set_scale(2, 3, 4);
    Matrix4x4<float> translation;
    translation.set_trans(5, 6, 7);
    // Scaling after translating scales the translation too.
    EXPECT_EQ(flat(scale * translation), (std::vector<float>{2, 0, 0, 10, 0, 3, 0, 18, 0, 0, 4, 28, 0, 0, 0, 1}));
}

TEST(Matrix, ProductAccumulatesWithFusedMultiplyAdd)
{
    // (-1) * 1 + x * x with x = 1 + 2^-12: x * x = 1 + 2^-11 + 2^-24 exactly. Fused onto -1 this keeps
    // 2^-11 + 2^-24; rounding the product first to float drops the 2^-24.
    const float x = 1.0f + std::ldexp(1.0f, -12);
    Matrix<float> row(1, 2);
    row.set(0, 0, -1.0f);
    row.set(0, 1, x);
    Matrix<float> column(2, 1);
    column.set(0, 0, 1.0f);
    column.set(1, 0, x);
    EXPECT_EQ((row * column).get(0, 0), std::ldexp(1.0f, -11) + std::ldexp(1.0f, -24));
}

TEST(Matrix, ProductOfMismatchedShapesIsZeroAndLogged)
{
    Matrix4x4<float> a;
    Matrix3x3<float> b;
    testing::internal::CaptureStderr();
    Matrix<float> product = a * b;
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(message_of(log, "Matrix.cpp"), "Matrix * Error, Matrix A Shape (4, 4) != Matrix B Shape (3, 3)\n")
        << log;
    ASSERT_EQ(product.rows(), 4);
    ASSERT_EQ(product.cols(), 3);
    EXPECT_EQ(flat(product), std::vector<float>(12, 0.0f));
}

TEST(Matrix, TransposeSwapsRowsAndColumns)
{
    Matrix4x4<float> m;
    fill_with_positions(m);
    Matrix<float> t = m.transpose();
    ASSERT_EQ(t.rows(), 4);
    ASSERT_EQ(t.cols(), 4);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(t.get(i, j), static_cast<float>(10 * j + i + 1)) << i << "," << j;

    Matrix<float> wide(2, 3);
    fill_with_positions(wide);
    Matrix<float> tall = wide.transpose();
    ASSERT_EQ(tall.rows(), 3);
    ASSERT_EQ(tall.cols(), 2);
    EXPECT_EQ(flat(tall), (std::vector<float>{1, 11, 2, 12, 3, 13}));
}

TEST(Matrix4x4, OrthoMapsCanvasPixelsToClipSpace)
{
    Matrix4x4<float> ortho;
    ortho.set_trans(9, 9, 9);
    ASSERT_EQ(ortho.set_ortho(0, 1920, 0, 1080, 0, 100), 0);
    // 2 / 1920, -(1920 + 0) / 1920; 2 / (0 - 1080), -(0 + 1080) / (0 - 1080); -2 / 100, -(100 + 0) / 100.
    const std::vector<float> expected{static_cast<float>(2.0 / 1920), 0, 0, -1,
                                      0, static_cast<float>(-2.0 / 1080), 0, 1,
                                      0, 0, -0.02f, -1,
                                      0, 0, 0, 1};
    EXPECT_EQ(flat(ortho), expected);

    ASSERT_EQ(ortho.set_ortho(-2, 6, 3, -1, 1, 5), 0);
    // x: 2/8, -(4)/8; y: 2/4, -(2)/4; z: -2/4, -(6)/4.
    EXPECT_EQ(flat(ortho), (std::vector<float>{0.25f, 0, 0, -0.5f, 0, 0.5f, 0, -0.5f, 0, 0, -0.5f, -1.5f, 0, 0, 0, 1}));
}

TEST(Matrix4x4, OrthoRefusesEmptyRanges)
{
    Matrix4x4<float> ortho;
    ortho.set_trans(1, 2, 3);
    const std::vector<float> before = flat(ortho);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ortho.set_ortho(5, 5, 0, 1, 0, 1), -1);
    EXPECT_EQ(ortho.set_ortho(0, 1, 2, 2, 0, 1), -1);
    EXPECT_EQ(ortho.set_ortho(0, 1, 0, 1, 3, 3), -1);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Matrix4x4 set_ortho Error, empty range"), std::string::npos) << log;
    EXPECT_EQ(flat(ortho), before);
}

TEST(Matrix4x4, ScaleOverwritesAllAndTranslationOnlyItsColumn)
{
    Matrix4x4<float> m;
    fill_with_positions(m);
    EXPECT_EQ(m.set_scale(2, 3, 4), 0);
    EXPECT_EQ(flat(m), (std::vector<float>{2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}));

    fill_with_positions(m);
    EXPECT_EQ(m.set_trans(-5, -6, -7), 0);
    EXPECT_EQ(flat(m), (std::vector<float>{1, 2, 3, -5, 11, 12, 13, -6, 21, 22, 23, -7, 31, 32, 33, 34}));
}

TEST(Matrix4x4, TakesTheShapeOfWhatItIsGivenAndBuildersThenRefuse)
{
    Matrix<float> wide(2, 3);
    fill_with_positions(wide);
    Matrix4x4<float> m(wide);
    EXPECT_EQ(m.rows(), 2);
    EXPECT_EQ(m.cols(), 3);

    testing::internal::CaptureStderr();
    EXPECT_EQ(m.set_scale(1, 1, 1), -1);
    EXPECT_EQ(m.set_trans(1, 1, 1), -1);
    EXPECT_EQ(m.set_ortho(0, 1, 0, 1, 0, 1), -1);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Matrix4x4 set_trans Error, shape (2, 3) is not (4, 4)\n"), std::string::npos) << log;
    EXPECT_EQ(flat(m), (std::vector<float>{1, 2, 3, 11, 12, 13}));

    Matrix4x4<float> square;
    m = square;
    EXPECT_EQ(m.get_mat_len(), 64);
    EXPECT_EQ(m.set_scale(1, 1, 1), 0);
}

TEST(Matrix3x3, StartsAsIdentityAndFlattensToNineFloats)
{
    Matrix3x3<float> m;
    EXPECT_EQ(m.get_mat_len(), 36);
    EXPECT_EQ(flat(m), (std::vector<float>{1, 0, 0, 0, 1, 0, 0, 0, 1}));
}
