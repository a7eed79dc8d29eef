// CreateTransformSummaryInfo, read back by Wine's msi.dll.
#include "msi/automation_error.h"
#include "msi/db/code_page.h"
#include "support/file_guard.h"
#include "support/msi_oracle.h"
#include "support/temp_dir.h"
#include "transform_fixtures.h"
#include "system/text_conversion.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace transform_test {
namespace {

std::map<int, std::string> transform_summary(const std::filesystem::path& base, const std::filesystem::path& mst) {
    std::map<int, std::string> values;
    std::istringstream in(test_support::oracle_transform_summary(base, mst));
    std::string tag, line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        int id = 0;
        std::string value;
        if (std::getline(fields, tag, '\t') && tag == "MSTSUMMARY" && fields >> id) {
            fields.get();
            std::getline(fields, value);
            values[id] = value;
        }
    }
    return values;
}

class TransformSummary : public ::testing::Test {
protected:
    void SetUp() override {
        build(dir / "base.msi", base_package());
        package_text p = base_package();
        p.template_text = "x64;1031";
        set_row(p, "Property", "ProductVersion", "ProductVersion\t27.0.1");
        set_row(p, "Property", "ProductCode", "ProductCode\t{11111111-2222-3333-4444-555555555555}");
        edited = p;
        build(dir / "edited.msi", p);
        ASSERT_TRUE(generate(dir / "edited.msi", dir / "base.msi", mst()));
    }
    std::filesystem::path mst() const { return dir / "edited.mst"; }
    void create_summary(const std::filesystem::path& changed, int errors, int validation) {
        open_database(changed)->CreateTransformSummaryInfo(open_database(dir / "base.msi"),
                                                           sys::utf8_to_utf16(mst().string()), errors, validation);
    }

    test_support::temp_dir dir{"quorlin-mst-summary"};
    package_text edited;
};

TEST_F(TransformSummary, CarriesBothProductsTheTemplatesAndTheFlags) {
    create_summary(dir / "edited.msi", 0x003F, 0x0802);
    auto s = transform_summary(dir / "base.msi", mst());
    EXPECT_EQ(s[16], std::to_string(0x0802003F)) << "validation high, error conditions low";
    EXPECT_EQ(s[7], "Intel;1033");
    EXPECT_EQ(s[8], "x64;1031");
    EXPECT_EQ(s[9],
              "{8F3A1C22-5B6D-4E7F-9A01-23456789ABCD}26.4.4;{11111111-2222-3333-4444-555555555555}27.0.1;"
              "{0B1C2D3E-4F50-6172-8394-A5B6C7D8E9F0}");
    EXPECT_EQ(s[3], "Quorlin test package");
    EXPECT_EQ(s[4], "Quorlin tests");
    EXPECT_EQ(s[14], "200");
    EXPECT_EQ(s[19], "4");
    EXPECT_FALSE(s[12].empty());
    EXPECT_FALSE(s[13].empty());
    EXPECT_FALSE(s[18].empty());
    // The summary does not disturb the tables.
    expect_transform_gives(dir / "base.msi", mst(), dir / "edited.msi");

    // Written again, with other flags: replaced, not added.
    create_summary(dir / "edited.msi", 0, 0);
    EXPECT_EQ(transform_summary(dir / "base.msi", mst())[16], "0");
}

TEST_F(TransformSummary, DatabaseWithoutProductCodeIsRefusedAndTheTransformKept) {
    package_text p = edited;
    set_row(p, "Property", "ProductCode", "");
    build(dir / "nocode.msi", p);
    test_support::file_unchanged_guard kept(mst());
    try {
        create_summary(dir / "nocode.msi", 0, 0);
        ADD_FAILURE() << "no error";
    } catch (const msi::automation_error& e) {
        EXPECT_EQ(e.code(), msi::hresult_from_win32(1620));
        EXPECT_NE(std::string(e.what()).find("ProductCode"), std::string::npos);
    }
}

TEST_F(TransformSummary, OnlyATransformFileTakesTheSummary) {
    std::filesystem::copy_file(dir / "base.msi", dir / "not-a-transform.mst");
    test_support::file_unchanged_guard kept(dir / "not-a-transform.mst");
    EXPECT_THROW(open_database(dir / "edited.msi")
                     ->CreateTransformSummaryInfo(open_database(dir / "base.msi"),
                                                  sys::utf8_to_utf16((dir / "not-a-transform.mst").string()), 0, 0),
                 msi::automation_error);
}

}  // namespace
}  // namespace transform_test
