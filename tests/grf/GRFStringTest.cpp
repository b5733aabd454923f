// GRFString: value semantics, ordering for map keys, and the float text.
#include "grf/GRFString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

using GRF::GRFString;

TEST(GRFString, ConstructionAndDeepCopy)
{
    EXPECT_STREQ(GRFString().c_str(), "");
    EXPECT_STREQ(GRFString(static_cast<const char*>(nullptr)).c_str(), "");

    GRFString original("uniform");
    GRFString copy(original);
    GRFString assigned;
    assigned = original;
    EXPECT_NE(copy.c_str(), original.c_str()) << "a copy must own its bytes";
    original = GRFString("changed");
    EXPECT_STREQ(copy.c_str(), "uniform");
    EXPECT_STREQ(assigned.c_str(), "uniform");
    EXPECT_STREQ(GRFString(std::string("std")).c_str(), "std");
}

TEST(GRFString, ConcatenationLeavesOperandsUnchanged)
{
    GRFString head("#version 330\n");
    GRFString body("void main() {}");
    GRFString joined = head + body;
    EXPECT_STREQ(joined.c_str(), "#version 330\nvoid main() {}");
    EXPECT_STREQ(head.c_str(), "#version 330\n");
    EXPECT_STREQ(body.c_str(), "void main() {}");
}

TEST(GRFString, ByteWiseOrderAndEquality)
{
    EXPECT_TRUE(GRFString("a") < GRFString("b"));
    EXPECT_TRUE(GRFString("ab") > GRFString("a"));
    EXPECT_FALSE(GRFString("a") < GRFString("a"));
    EXPECT_TRUE(GRFString("B") < GRFString("a")) << "byte order, not case-folded";
    EXPECT_TRUE(GRFString("\x7f") < GRFString("\x80")) << "bytes above 0x7f sort after ASCII";
    EXPECT_TRUE(GRFString("same") == GRFString("same"));
    EXPECT_FALSE(GRFString("same") == GRFString("same "));

    std::map<GRFString, int> slots{{GRFString("tex1"), 1}, {GRFString("input_texture"), 0}};
    EXPECT_STREQ(slots.begin()->first.c_str(), "input_texture");
}

TEST(GRFString, EmbeddedZeroBytesCount)
{
    GRFString with_zero(std::string("a\0b", 3));
    EXPECT_FALSE(with_zero == GRFString("a"));
}

TEST(GRFString, NumberUsesSixFixedDecimals)
{
    EXPECT_STREQ(GRFString::number(0.5f).c_str(), "0.500000");
    EXPECT_STREQ(GRFString::number(-2.0f).c_str(), "-2.000000");
    EXPECT_STREQ(GRFString::number(0.0f).c_str(), "0.000000");
    EXPECT_STREQ(GRFString::number(1e-7f).c_str(), "0.000000");
    EXPECT_STREQ(GRFString::number(1920.0f).c_str(), "1920.000000");
}
