// Installer stream names: the stored forms of known table and stream names.
#include "msi/db/stream_name.h"

#include <gtest/gtest.h>

TEST(StreamName, KnownNamesEncodeAndDecode) {
    const struct {
        std::u16string logical;
        bool table;
        std::u16string stored;
    } cases[] = {
        {u"_Tables", true, u"\x4840\x3F7F\x4164\x422F\x4836"},
        {u"_Columns", true, u"\x4840\x3B3F\x43F2\x4438\x45B1"},
        {u"_StringPool", true, u"\x4840\x3F3F\x4577\x446C\x3E6A\x44B2\x482F"},
        {u"_StringData", true, u"\x4840\x3F3F\x4577\x446C\x3B6A\x45E4\x4824"},
        {u"Property", true, u"\x4840\x4559\x44F2\x4568\x4737"},
        {u"BINARY.1", false, u"\x3C8B\x3A97\x409B\x387E"},
        // Characters outside the alphabet pass through and break the pairs.
        {u"a-b c", false, u"\x4824-\x4825 \x4826"},
        // An odd length leaves the last character alone: here the alphabet's last.
        {u"ab_", false, u"\x4164\x483F"},
        {u"", true, u"\x4840"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(msi::encode_stream_name(c.logical, c.table), c.stored);
        bool table = !c.table;
        EXPECT_EQ(msi::decode_stream_name(c.stored, &table), c.logical);
        EXPECT_EQ(table, c.table);
    }
    // Summary information and signatures keep their literal names.
    EXPECT_EQ(msi::encode_stream_name(u"\x0005SummaryInformation", false), u"\x0005SummaryInformation");
    EXPECT_EQ(msi::decode_stream_name(u"\x0005SummaryInformation"), u"\x0005SummaryInformation");
}
