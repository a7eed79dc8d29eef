// The bytes of a transform's streams, checked against hand-assembled
// records: masks, cell widths, the transform's own pool and record order.
#include "msi/db/stream_name.h"
#include "msi/transform/streams.h"

#include <gtest/gtest.h>

#include <map>

namespace msi {
namespace {

using bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t key_s72 = 0x2D48, l0 = 0x0F00, i2 = 0x0502, i4 = 0x0104, key_i2 = 0x2502, v0 = 0x1900;

transform_cell text(const std::string& s) {
    transform_cell c;
    c.type = transform_cell::kind::string;
    c.bytes = s;
    return c;
}
transform_cell number(std::int32_t v) {
    transform_cell c;
    c.type = transform_cell::kind::integer;
    c.integer = v;
    return c;
}
transform_cell binary(const std::string& data, const std::u16string& stream) {
    transform_cell c;
    c.type = transform_cell::kind::binary;
    c.bytes = data;
    c.stream = stream;
    return c;
}

transform_operation op(transform_operation::kind kind, std::vector<transform_cell> cells,
                       std::vector<bool> changed = {}) {
    return {kind, std::move(cells), std::move(changed)};
}

std::map<std::u16string, bytes> by_name(const std::vector<transform_stream>& streams) {
    std::map<std::u16string, bytes> m;
    for (const auto& s : streams) {
        EXPECT_FALSE(s.data.empty() && s.name != encode_stream_name(u"_StringData", true))
            << "empty stream " << s.name.size();
        EXPECT_TRUE(m.emplace(s.name, s.data).second) << "duplicate stream";
    }
    return m;
}

bytes table_stream(const std::map<std::u16string, bytes>& m, std::u16string_view table) {
    auto it = m.find(encode_stream_name(table, true));
    return it == m.end() ? bytes{} : it->second;
}

std::uint32_t u32(const bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

TEST(TransformStreams, PropertyUpdateAndAdditionMatchTheKnownLayout) {
    transform_content content;
    content.code_page = 1252;
    content.tables.push_back({u"_Tables", catalog_tables_columns(), {}});
    content.tables.push_back({u"_Columns", catalog_columns_columns(), {}});
    transform_table property{u"Property", {{u"Property", key_s72}, {u"Value", l0}}, {}};
    property.operations.push_back(
        op(transform_operation::kind::update, {text("INSTALLLEVEL"), text("200")}, {false, true}));
    property.operations.push_back(op(transform_operation::kind::add, {text("MYPROP"), text("1")}));
    content.tables.push_back(property);

    auto streams = by_name(serialize_transform(content));
    // Unchanged catalogs get no stream: pool, data, Property only.
    EXPECT_EQ(streams.size(), 3u);
    EXPECT_EQ(streams[encode_stream_name(u"_StringPool", true)],
              (bytes{0xE4, 0x04, 0, 0, 12, 0, 1, 0, 3, 0, 1, 0, 6, 0, 1, 0, 1, 0, 1, 0}));
    const std::string data = "INSTALLLEVEL200MYPROP1";
    EXPECT_EQ(streams[encode_stream_name(u"_StringData", true)], bytes(data.begin(), data.end()));
    EXPECT_EQ(table_stream(streams, u"Property"), (bytes{0x02, 0x00, 1, 0, 2, 0, 0x01, 0x02, 3, 0, 4, 0}));
}

TEST(TransformStreams, RecordShapesIntegersRemovalsAndOrder) {
    // Keyed by a short; updates name their columns, removals carry keys only,
    // records come out in stored key order whatever order they were given in.
    transform_content content;
    transform_table t{u"Numbers", {{u"Id", key_i2}, {u"Small", i2}, {u"Large", i4}, {u"Note", l0}}, {}};
    t.operations.push_back(op(transform_operation::kind::update, {number(5), number(-2), number(70000), text("x")},
                              {false, false, true, false}));
    t.operations.push_back(op(transform_operation::kind::remove, {number(3), {}, {}, {}}));
    t.operations.push_back(op(transform_operation::kind::add, {number(-1), number(1), transform_cell{}, text("")}));
    content.tables.push_back(t);

    auto streams = by_name(serialize_transform(content));
    // -1 (0x7FFF) < 3 (0x8003) < 5 (0x8005)
    bytes expected{0x01, 0x04, 0xFF, 0x7F, 0x01, 0x80, 0,    0,   0, 0, 0, 0,  // add: four columns, NULL i4, "" as 0
                   0x00, 0x00, 0x03, 0x80,                                     // remove key 3
                   0x04, 0x00, 0x05, 0x80, 0x70, 0x11, 0x01, 0x80};            // update Large = 70000
    EXPECT_EQ(table_stream(streams, u"Numbers"), expected);
    // No strings at all: the pool is only its header.
    EXPECT_EQ(streams[encode_stream_name(u"_StringPool", true)], (bytes{0, 0, 0, 0}));
}

TEST(TransformStreams, ReferenceCountsAreExactAndIdsFollowFirstUse) {
    transform_content content;
    transform_table t{u"Property", {{u"Property", key_s72}, {u"Value", l0}}, {}};
    t.operations.push_back(op(transform_operation::kind::add, {text("B"), text("same")}));
    t.operations.push_back(op(transform_operation::kind::add, {text("A"), text("same")}));
    t.operations.push_back(op(transform_operation::kind::remove, {text("same"), {}}));
    content.tables.push_back(t);
    auto streams = by_name(serialize_transform(content));
    const bytes pool = streams[encode_stream_name(u"_StringPool", true)];
    // ids: B=1, same=2, A=3; "same" is referenced three times.
    EXPECT_EQ(pool, (bytes{0, 0, 0, 0, 1, 0, 1, 0, 4, 0, 3, 0, 1, 0, 1, 0}));
    // Ordered by key id: B(1), same(2), A(3).
    EXPECT_EQ(table_stream(streams, u"Property"),
              (bytes{0x01, 0x02, 1, 0, 2, 0, 0x00, 0x00, 2, 0, 0x01, 0x02, 3, 0, 2, 0}));
}

TEST(TransformStreams, ManyStringsSwitchToThreeByteReferencesButBinaryFlagsStayTwoBytes) {
    transform_content content;
    content.code_page = 1252;
    transform_table t{u"Big", {{u"Name", key_s72}, {u"Data", v0}, {u"Count", i2}}, {}};
    const std::size_t rows = 0x10000;  // ids 1..0x10000: the last needs a third byte
    for (std::size_t i = 0; i < rows; ++i)
        t.operations.push_back(
            op(transform_operation::kind::add,
               {text("k" + std::to_string(i)), i == 0 ? binary("payload", u"Big.k0") : transform_cell{},
                i == 0 ? number(7) : transform_cell{}}));
    content.tables.push_back(t);
    auto streams = by_name(serialize_transform(content));

    const bytes pool = streams[encode_stream_name(u"_StringPool", true)];
    EXPECT_EQ(u32(pool, 0), 0x80000000u | 1252u);
    EXPECT_EQ(pool.size(), 4 + rows * 4);

    const bytes records = table_stream(streams, u"Big");
    // The first row has its binary flag; every other row leaves out its trailing
    // NULL binary cell and Count, so has just the key.
    const std::size_t first = 2 + 3 + 2 + 2, other = 2 + 3;
    ASSERT_EQ(records.size(), first + (rows - 1) * other);
    EXPECT_EQ(records[0], 0x01);
    EXPECT_EQ(records[1], 0x03);
    EXPECT_EQ(records[5] | records[6] << 8, 1);           // binary flag
    EXPECT_EQ(records[7] | records[8] << 8, 0x8000 + 7);  // Count
    EXPECT_EQ(records[first + 1], 0x01);                  // mask of the second record: one column
    const std::size_t last = first + (rows - 2) * other;
    EXPECT_EQ(records[last + 2] | records[last + 3] << 8 | records[last + 4] << 16, 0x10000);

    auto stream = streams.find(encode_stream_name(u"Big.k0", false));
    ASSERT_NE(stream, streams.end());
    EXPECT_EQ(stream->second, (bytes{'p', 'a', 'y', 'l', 'o', 'a', 'd'}));
}

TEST(TransformStreams, UpdatePastTheSixteenBitMaskReplacesTheRow) {
    transform_table t{u"Wide", {{u"Key", key_i2}}, {}};
    for (int i = 1; i < 18; ++i) t.columns.push_back({u"C" + std::u16string(1, char16_t(u'a' + i)), i2});
    std::vector<transform_cell> cells{number(1)};
    for (int i = 1; i < 18; ++i) cells.push_back(number(i));
    std::vector<bool> changed(18, false);
    changed[16] = true;  // the 17th column: the first the mask cannot name
    t.operations.push_back(op(transform_operation::kind::update, cells, changed));
    transform_content content;
    content.tables.push_back(t);
    auto records = table_stream(by_name(serialize_transform(content)), u"Wide");
    ASSERT_EQ(records.size(), 4u + 2 + 18 * 2);
    EXPECT_EQ(records[0] | records[1] << 8, 0);            // remove key 1
    EXPECT_EQ(records[4] | records[5] << 8, 18 << 8 | 1);  // then the whole row
    EXPECT_EQ(records[records.size() - 2] | records.back() << 8, 0x8000 + 17);
}

}  // namespace
}  // namespace msi
