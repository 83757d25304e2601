#include <gtest/gtest.h>

#include "encoding/chr_repl.h"

namespace vaxo {
namespace {

TEST(ReplaceChars, ReducesCzechNationalLetters) {
    // "Příliš žluťoučký kůň" in Windows-1250
    EXPECT_EQ(ReplaceChars("P\xF8\xED\x6Ci\x9A \x9Elu\x9Dou\xE8k\xFD k\xF9\xF2"),
              "Prilis zlutoucky kun");
}

TEST(ReplaceChars, ReplacesPunctuationAsBroadcastNeeds) {
    EXPECT_EQ(ReplaceChars("rock_and_roll"), "rock and roll");
    EXPECT_EQ(ReplaceChars("studio@radio"), "studio*radio");
    EXPECT_EQ(ReplaceChars("\x91quoted\x92 `x\xB4"), "'quoted' 'x'");
    EXPECT_EQ(ReplaceChars("\x93quoted\x94"), "\x93quoted\x94") << "double quotes stay";
}

TEST(ReplaceChars, EveryLetterBecomesItsBaseLetterAndSymbolsStay) {
    // "Łódź, żółć, Ąą Şş Ţţ" in Windows-1250
    EXPECT_EQ(ReplaceChars("\xA3\xF3"
                           "d\x9F, \xBF\xF3\xB3\xE6, \xA5\xB9 \xAA\xBA \xDE\xFE"),
              "Lodz, zolc, Aa Ss Tt");
    // euro sign, no-break space, dashes: the RDS table's own or plain on air
    const std::string untouched = "\x80\xA0\x96\x97";
    EXPECT_EQ(ReplaceChars(untouched), untouched);
}

TEST(ReplaceChars, EveryByteMapsToOneFinalByte) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte) {
        all += static_cast<char>(byte);
    }
    const std::string once = ReplaceChars(all);
    ASSERT_EQ(once.size(), all.size());
    EXPECT_EQ(ReplaceChars(once), once) << "no result is itself a source";
    int changed = 0;
    for (int byte = 0; byte < 256; ++byte) {
        if (once[static_cast<std::size_t>(byte)] != all[static_cast<std::size_t>(byte)]) {
            ++changed;
            const auto result = static_cast<unsigned char>(once[static_cast<std::size_t>(byte)]);
            EXPECT_TRUE(result >= 0x20 && result <= 0x7A) << byte;
        }
    }
    EXPECT_EQ(changed, 89);
    const std::string plain = "Plain ASCII 0123456789 text!";
    EXPECT_EQ(ReplaceChars(plain), plain);
    EXPECT_EQ(ReplaceChars(""), "");
}

}  // namespace
}  // namespace vaxo
