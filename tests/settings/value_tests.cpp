// Reads and updates of single values in the working copy, judged by the
// oracle reading the working copy's file while the package is open.
#include "installer/installer_package.h"
#include "package_fixture.h"
#include "support/file_guard.h"
#include "support/msi_oracle.h"

#include <gtest/gtest.h>

using namespace installer_tests;
using test_support::file_unchanged_guard;
using test_support::oracle_dump;
using test_support::temp_dir;

namespace {

bool has_line(const std::string& dump, const std::string& line) {
    return ("\n" + dump).find("\n" + line + "\n") != std::string::npos;
}

class PackageValues : public ::testing::Test {
protected:
    void SetUp() override {
        build_full_package(package_);
        guard_ = std::make_unique<file_unchanged_guard>(package_);
        package_object_ = std::make_unique<installer_package>(sys::from_fs_path(package_));
        ASSERT_TRUE(package_object_->is_open());
    }
    void TearDown() override {
        package_object_.reset();
        EXPECT_FALSE(std::filesystem::exists(copy()));
        guard_.reset();
        EXPECT_TRUE(messages_.recorder.message_boxes.empty());
    }
    std::filesystem::path copy() const { return dir_ / "Setup_Tmp.msi"; }
    installer_package& pkg() { return *package_object_; }

    temp_dir dir_;
    std::filesystem::path package_ = dir_ / "Setup.msi";
    recorded_messages messages_;
    std::unique_ptr<file_unchanged_guard> guard_;
    std::unique_ptr<installer_package> package_object_;
};

}  // namespace

TEST_F(PackageValues, ReadsValuesAsStored) {
    EXPECT_EQ(pkg().read_property(u"ProductName"), u"Quorlin PDF Pro");
    EXPECT_EQ(pkg().read_property(u"DROPBOXDISABLED"), u"#0");
    EXPECT_EQ(pkg().read_property(u"NoSuchProperty"), u"");
    EXPECT_EQ(pkg().read_property(u"productname"), u"");  // names are case-sensitive
    EXPECT_EQ(pkg().read_registry_value(u"PrintBandSize"), u"#8388608");
    EXPECT_EQ(pkg().read_registry_value(u"network_disk_enabled"), u"/b 1");
    EXPECT_EQ(pkg().read_control_text(u"PrivacyPolicyAgreement"),
              u"<a href=\"https://example.com/privacy\">Privacy Policy</a>");
    EXPECT_EQ(pkg().read_control_text(u"NoSuchControl"), u"");
}

TEST_F(PackageValues, EachUpdateIsOnDiskAtOnce) {
    pkg().set_property(u"DROPBOXDISABLED", u"#1");
    pkg().set_registry_number(u"PrintBandCountForIgnore", 8);
    pkg().set_registry_number(u"PrintBandSize", 0);
    EXPECT_EQ(pkg().read_registry_value(u"PrintBandCountForIgnore"), u"#8");
    EXPECT_EQ(pkg().read_registry_value(u"PrintBandSize"), u"#0");
    auto dump = oracle_dump(copy(), {"Property", "Registry"});
    EXPECT_TRUE(has_line(dump, "Property\tDROPBOXDISABLED\t#1")) << dump;
    EXPECT_TRUE(has_line(dump, "Registry\tregBand\t2\tSoftware\\\\Quorlin\\\\Print\tPrintBandSize\t#0\tMain")) << dump;

    pkg().set_registry_number(u"PrintBandSize", 1013760);
    pkg().set_registry_number(u"PrintBandCountForIgnore", -2147483647 - 1);
    dump = oracle_dump(copy(), {"Registry"});
    EXPECT_TRUE(has_line(dump, "Registry\tregBand\t2\tSoftware\\\\Quorlin\\\\Print\tPrintBandSize\t#1013760\tMain"))
        << dump;
    EXPECT_TRUE(has_line(
        dump, "Registry\tregBandCount\t2\tSoftware\\\\Quorlin\\\\Print\tPrintBandCountForIgnore\t#-2147483648\tMain"))
        << dump;
}

TEST_F(PackageValues, UpdatesAddNoRowsAndChangeEveryMatch) {
    const auto before = oracle_dump(copy());
    EXPECT_TRUE(pkg().set_property(u"NEWPROPERTY", u"1"));
    EXPECT_TRUE(pkg().set_registry_value(u"NoSuchValue", u"/b 0"));
    EXPECT_EQ(pkg().read_property(u"NEWPROPERTY"), u"");
    EXPECT_EQ(oracle_dump(copy()), before);

    // Both rows named network_disk_enabled change, whatever their key or root.
    pkg().set_registry_value(u"network_disk_enabled", u"/b 0");
    EXPECT_EQ(pkg().read_registry_value(u"network_disk_enabled"), u"/b 0");
    const auto dump = oracle_dump(copy(), {"Registry"});
    EXPECT_TRUE(has_line(dump, "Registry\tregNetwork\t2\tSoftware\\\\Quorlin\tnetwork_disk_enabled\t/b 0\tMain"));
    EXPECT_TRUE(
        has_line(dump, "Registry\tregNetwork2\t1\tSoftware\\\\Quorlin\\\\User\tnetwork_disk_enabled\t/b 0\tMain"));
}

TEST_F(PackageValues, ValuesWithQuotesAreStoredExactlyAndBadNamesRaise) {
    const std::u16string path = u"C:\\Users\\O'Brien\\iManage\\Work10 ''x";
    pkg().set_property(u"IMANAGEINSTALLPATH", path);
    EXPECT_EQ(pkg().read_property(u"IMANAGEINSTALLPATH"), path);
    pkg().set_registry_value(u"network_disk_enabled", u"it's");
    EXPECT_EQ(pkg().read_registry_value(u"network_disk_enabled"), u"it's");
    EXPECT_TRUE(has_line(oracle_dump(copy(), {"Property"}),
                         "Property\tIMANAGEINSTALLPATH\tC:\\\\Users\\\\O'Brien\\\\iManage\\\\Work10 ''x"));

    // An empty value is written as the empty string.
    pkg().set_property(u"DROPBOXDISABLED", u"");
    EXPECT_EQ(pkg().read_property(u"DROPBOXDISABLED"), u"");
    pkg().set_property(u"DROPBOXDISABLED", u"#1");

    // Names are the program's own and go into the statement as they are: a
    // quote breaks it, the call raises, and nothing changes.
    const auto before = oracle_dump(copy());
    EXPECT_THROW(pkg().set_property(u"DROPBOX'DISABLED", u"#0"), msi::automation_error);
    EXPECT_THROW(pkg().set_registry_number(u"Print'BandSize", 1), msi::automation_error);
    EXPECT_THROW(pkg().read_property(u"a'b"), msi::automation_error);
    EXPECT_EQ(pkg().read_property(u"DROPBOXDISABLED"), u"#1");
    EXPECT_EQ(oracle_dump(copy()), before);
}

TEST(PackageWithoutRegistryOrControl, ReadsEmptyAndUpdatesNothing) {
    temp_dir dir;
    build_property_only_package(dir / "Plain.msi");
    file_unchanged_guard guard(dir / "Plain.msi");
    recorded_messages messages;
    installer_package p(sys::from_fs_path(dir / "Plain.msi"));
    ASSERT_TRUE(p.is_open());
    EXPECT_EQ(p.read_registry_value(u"network_disk_enabled"), u"");
    EXPECT_EQ(p.read_control_text(u"TermsAndConditionsAgreement"), u"");
    EXPECT_TRUE(p.set_registry_value(u"network_disk_enabled", u"/b 0"));
    EXPECT_TRUE(p.set_registry_number(u"PrintBandSize", 8388608));
    EXPECT_TRUE(p.set_property(u"DROPBOXDISABLED", u"#1"));
    EXPECT_EQ(oracle_dump(dir / "Plain_Tmp.msi"),
              "#Property\tProperty:s72\tValue:l0\n"
              "Property\tDROPBOXDISABLED\t#1\n"
              "Property\tIMANAGEINSTALLPATH\tC:\\\\Program Files\\\\iManage\n"
              "Property\tProductCode\t{5A0E3F41-7C2B-4D8E-9A61-2F4B8C7D1E03}\n"
              "Property\tProductName\tQuorlin PDF Pro\n"
              "Property\tProductVersion\t26.4.4.1\n"
              "Property\tUpgradeCode\t{8B1D2C3E-4F50-4617-8A9B-0C1D2E3F4A5B}\n");
    // Only a missing table is forgiven: a broken statement on a present one still raises.
    EXPECT_THROW(p.read_property(u"x'y"), msi::automation_error);
    EXPECT_TRUE(messages.recorder.message_boxes.empty());
}
