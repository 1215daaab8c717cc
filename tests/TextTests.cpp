#include "text/TextFunctions.h"

#include <gtest/gtest.h>

using namespace Text;

TEST(TextFunctions, LengthCountsCharactersNotUtf16Units) {
    EXPECT_EQ(Len(QString()), 0);
    EXPECT_EQ(Len(QStringLiteral("abc")), 3);
    EXPECT_EQ(Len(QString::fromUtf8("h\xC3\xA9\xF0\x9F\x98\x80")), 3);  // h, e-acute, one emoji
}
