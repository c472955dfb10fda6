#include "ui/platform/fixed_font.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <gtest/gtest.h>

namespace velmo {
namespace {

TEST(FixedPitchFont, aProportionalPreferenceGivesWayToAFixedPitchFontOfItsSize) {
    QFont proportional(QStringLiteral("DejaVu Sans"));
    proportional.setPointSizeF(13);
    ASSERT_FALSE(QFontInfo(proportional).fixedPitch()) << "DejaVu Sans is proportional";
    const QFont chosen = FixedPitchFont(proportional);
    EXPECT_TRUE(QFontInfo(chosen).fixedPitch()) << chosen.family().toStdString();
    EXPECT_EQ(chosen.pointSizeF(), 13);
    EXPECT_TRUE(QFontInfo(FixedPitchFont()).fixedPitch());
}

TEST(FixedPitchFont, aFixedPitchPreferenceIsKept) {
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    ASSERT_TRUE(QFontInfo(mono).fixedPitch());
    EXPECT_EQ(FixedPitchFont(mono), mono);
}

} // namespace
} // namespace velmo
