#include "resources/Resources.h"
#include "QtApplication.h"

#include <QFontDatabase>
#include <QImage>
#include <QRawFont>

#include <gtest/gtest.h>

namespace pp {
namespace {

constexpr double kTextPixelSize = 12;

// The build tree holds the font where the program looks for it, relative to the program.
TEST(BundledFont, IsFoundBesideTheProgramAndLoadsAsVlGothic) {
    test::ensureGuiApplication();
    ASSERT_FALSE(resources::fontFile().isEmpty());
    const int id = QFontDatabase::addApplicationFont(resources::fontFile());
    ASSERT_GE(id, 0);
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    ASSERT_FALSE(families.isEmpty());
    EXPECT_TRUE(families.front().contains("VL Gothic")) << families.front().toStdString();
}

TEST(BundledFont, HasGlyphsForEveryKindOfTextTheQuizzesUse) {
    test::ensureGuiApplication();
    const QRawFont font(resources::fontFile(), kTextPixelSize);
    ASSERT_TRUE(font.isValid());
    const std::pair<char32_t, const char*> characters[] = {
        {U'A', "Latin"},          {U'%', "the accuracy line's percent"},
        {U'あ', "hiragana"},      {U'ア', "katakana"},
        {U'ｱ', "half-width katakana"}, {U'①', "circled digits"},
        {U'漢', "kanji"},          {U'問', "kanji"},
        {U'題', "kanji"},          {U'髙', "an IBM extension kanji of code page 932"},
        {U'〜', "wave dash"},       {U'Ⅲ', "an NEC special character"},
    };
    for (const auto& [code, kind] : characters) {
        EXPECT_TRUE(font.supportsCharacter(code))
            << kind << " U+" << std::hex << static_cast<unsigned>(code);
    }
}

TEST(ProgramIcon, IsInTheResourcesAtEachSizeOnATransparentGround) {
    test::ensureGuiApplication();
    const std::pair<QString, int> icons[] = {
        {resources::kIconPath, 256},
        {resources::kSmallIconPath, 32},
        {QStringLiteral(":/icons/pocketperna-16.png"), 16},
    };
    for (const auto& [path, size] : icons) {
        SCOPED_TRACE(path.toStdString());
        const QImage icon(path);
        ASSERT_FALSE(icon.isNull());
        EXPECT_EQ(icon.size(), QSize(size, size));
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255);
    }
}

}  // namespace
}  // namespace pp
