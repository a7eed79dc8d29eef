// The summary information property set: what we write reads back with its
// types, and damaged streams are refused cleanly.
#include "msi/automation_error.h"
#include "msi/db/summary_information.h"

#include <gtest/gtest.h>

#include <random>

namespace msi {
namespace {

namespace sp = summary_property;

summary_information sample() {
    summary_information s;
    s.set_code_page(1252);
    s.set_text(sp::title, u"Transform caf\u00e9");
    s.set_bytes(sp::comments, "");
    s.set_int32(sp::character_count, 0x0002003F);
    s.set_int32(sp::page_count, -5);
    s.set_filetime(sp::create_time, 0x01DB123456789ABCULL);
    return s;
}

TEST(SummaryInformation, WrittenStreamReadsBackWithTypesAndCodePage) {
    const auto stream = sample().serialize();
    EXPECT_EQ(stream.size() % 4, 0u);
    auto back = summary_information::parse(stream);
    EXPECT_EQ(back.code_page(), 1252);
    EXPECT_EQ(back.bytes(sp::title), std::string("Transform caf\xE9"));
    EXPECT_EQ(back.text(sp::title), u"Transform caf\u00e9");
    EXPECT_EQ(back.bytes(sp::comments), std::string());
    EXPECT_EQ(back.integer(sp::character_count), 0x0002003F);
    EXPECT_EQ(back.integer(sp::page_count), -5);
    EXPECT_EQ(back.filetime(sp::create_time), 0x01DB123456789ABCULL);
    EXPECT_EQ(back.find(sp::code_page)->type, summary_information::value::kind::int16);
    EXPECT_EQ(back.serialize(), stream);

    // 65001 is stored in 16 bits and comes back unsigned.
    summary_information utf8;
    utf8.set_code_page(65001);
    EXPECT_EQ(summary_information::parse(utf8.serialize()).code_page(), 65001);
}

TEST(SummaryInformation, DamagedStreamsRaiseAnErrorAndNeverReadOutside) {
    const auto good = sample().serialize();
    for (std::size_t length = 1; length < good.size(); ++length) {
        std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
        try {
            summary_information::parse(cut);
        } catch (const automation_error& e) {
            EXPECT_NE(std::string(e.what()).find("summary information"), std::string::npos);
        }
    }
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        auto bad = good;
        for (int flips = 0; flips < 3; ++flips) bad[random() % bad.size()] = static_cast<std::uint8_t>(random());
        try {
            summary_information::parse(bad);
        } catch (const automation_error&) {}
    }
    auto huge_count = good;
    huge_count[52] = 0xFF;
    huge_count[55] = 0x7F;
    EXPECT_THROW(summary_information::parse(huge_count), automation_error);
}

}  // namespace
}  // namespace msi
