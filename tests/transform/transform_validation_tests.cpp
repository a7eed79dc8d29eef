// The checks a transform's validation flags ask for, each against a package
// made in memory (template "Intel;1033", ProductVersion 26.4.4): the flag
// judges its own property, and a failed check says what differs.
#include "msi/transform/validation.h"
#include "support/memory_package.h"
#include "transform_fixtures.h"

#include <gtest/gtest.h>

namespace transform_test {
namespace {

TEST(TransformValidation, EachFlagJudgesItsOwnPropertyAndSaysWhatDiffers) {
    auto package = msi::Installer().OpenDatabase(test_support::make_msi(source_of(base_package())),
                                                 msi::msiOpenDatabaseModeReadOnly);

    msi::transform_identity fits;
    fits.base_platform = "Intel";
    fits.base_language = "1033";
    fits.base_product_code = "{8F3A1C22-5B6D-4E7F-9A01-23456789ABCD}";
    fits.base_version = "26.4.4";
    fits.upgrade_code = "{0B1C2D3E-4F50-6172-8394-A5B6C7D8E9F0}";

    struct check {
        int flags;
        std::function<void(msi::transform_identity&)> change;
        const char* reason;  // nullptr: fits
    } checks[] = {
        {0x0001, [](auto& t) { t.base_language = "1031"; }, "language 1031; the package's language is 1033"},
        {0x0001, [](auto& t) { t.base_language = "0"; }, nullptr},
        {0x0001, [](auto& t) { t.base_language = "1031,1033"; }, nullptr},
        {0x0002, [](auto& t) { t.base_product_code = "{00000000-5B6D-4E7F-9A01-23456789ABCD}"; },
         "product {00000000-5B6D-4E7F-9A01-23456789ABCD}; the package's product code is {8F3A1C22"},
        {0x0002, [](auto& t) { t.base_product_code = "{8f3a1c22-5b6d-4e7f-9a01-23456789abcd}"; }, nullptr},
        {0x0004, [](auto& t) { t.base_platform = "x64"; }, "platform x64; the package is for Intel"},
        {0x0004, [](auto& t) { t.base_platform = ""; }, nullptr},
        {0x0800, [](auto& t) { t.upgrade_code = "{FFFFFFFF-4F50-6172-8394-A5B6C7D8E9F0}"; }, "upgrade code {FFFFFFFF"},
        {0x0008 | 0x0400, [](auto& t) { t.base_version = "25.9.9"; }, nullptr},
        {0x0008 | 0x0400, [](auto& t) { t.base_version = "26.0.0"; }, "greater than 26.0.0 (major version compared)"},
        {0x0010 | 0x0080, [](auto& t) { t.base_version = "26.4.0"; }, nullptr},
        {0x0010 | 0x0080, [](auto& t) { t.base_version = "26.3.9"; },
         "at most 26.3.9 (major and minor versions compared)"},
        {0x0020 | 0x0100, [](auto& t) { t.base_version = "26.4.5"; }, "equal to 26.4.5"},
        {0x0020 | 0x0040, [](auto& t) { t.base_version = "26.4.5"; }, nullptr},
        {0x0020 | 0x0200, [](auto& t) { t.base_version = "26.4.5"; }, "at least 26.4.5"},
        {0x0020 | 0x0200, [](auto& t) { t.base_version = "26.4.4"; }, nullptr},  // equal is at least
        {0x0020, [](auto& t) { t.base_version = "26.4.4.9"; }, nullptr},         // the fourth field is never compared
        {0x0000, [](auto& t) { t = {}; }, nullptr},
    };
    for (const auto& c : checks) {
        msi::transform_identity t = fits;
        c.change(t);
        SCOPED_TRACE(c.flags);
        const auto reasons = msi::validate_transform(package->engine(), t, c.flags);
        if (!c.reason) {
            EXPECT_TRUE(reasons.empty()) << reasons.front();
        } else {
            ASSERT_EQ(reasons.size(), 1u);
            EXPECT_NE(reasons[0].find(c.reason), std::string::npos) << reasons[0];
        }
    }
}

}  // namespace
}  // namespace transform_test
