// The sample package a newcomer opens first: built by its own script, it
// must load every value the program reads and take a full round of writes
// into a transform that Windows Installer (the oracle) applies.
#include "installer/installer_package.h"
#include "package_fixture.h"
#include "support/file_guard.h"
#include "support/msi_oracle.h"
#include "support/process.h"

#include <gtest/gtest.h>

using namespace installer_tests;
using test_support::file_unchanged_guard;
using test_support::oracle_dump;
using test_support::run_process;
using test_support::temp_dir;

TEST(SamplePackage, LoadsAndGeneratesATransformTheOracleApplies) {
    temp_dir dir;
    const auto package = dir / "quorlin-pdf-pro.msi";
    auto built = run_process({QUORLIN_SAMPLE_SCRIPT, package.string()});
    ASSERT_EQ(built.exit_code, 0) << built.err;
    file_unchanged_guard guard(package);
    recorded_messages messages;

    installer_package p(sys::from_fs_path(package));
    ASSERT_TRUE(p.is_open());
    EXPECT_EQ(p.read_property(u"ProductName"), u"Quorlin PDF Pro");
    EXPECT_EQ(p.read_property(u"TOS_URL").rfind(u"https://", 0), 0u);
    EXPECT_NE(p.read_control_text(u"PrivacyPolicyAgreement").find(u"<a href=\"https://"), std::u16string::npos);
    EXPECT_NE(p.read_control_text(u"TermsAndConditionsAgreement").find(u"<a href=\"https://"), std::u16string::npos);
    EXPECT_EQ(p.read_registry_value(u"network_disk_enabled"), u"/b 1");
    EXPECT_EQ(p.read_registry_value(u"PrintBandSize"), u"#8388608");
    EXPECT_EQ(p.read_registry_value(u"PrintBandCountForIgnore"), u"#8");
    for (const char16_t* name : {u"DT_SHORTCUT", u"OFFICEADDINS", u"QPINSTALLPRINTERDRIVER", u"SIGNENABLE",
                                 u"DROPBOXDISABLED", u"ONEDRIVEDISABLED", u"BOXDISABLED", u"SHAREPOINTDISABLED",
                                 u"BUGSPLAT_SENDREPORT_ENABLED", u"MSAZUREIPLABELINGENABLED", u"MSAZUREFORCELOGIN",
                                 u"IMANAGEENABLED", u"IMANAGEINSTALLPATH", u"KNOWLEDGEASSISTANT"})
        EXPECT_FALSE(p.read_property(name).empty())
            << std::string(name, name + std::char_traits<char16_t>::length(name));

    // A round of writes in the program's forms.
    p.set_property(u"WINSPARKLE_ENABLED", u"/b 0");
    p.set_property(u"DT_SHORTCUT", u"0");
    p.set_property(u"INSTALL_PRINTER_DRIVER", u"0");
    p.set_property(u"DROPBOXDISABLED", u"#1");
    p.set_property(u"SHAREPOINTDISABLED", u"#0");
    p.set_registry_value(u"network_disk_enabled", u"/b 0");
    p.set_registry_value(u"kBugsplatEnableCrashReporting", u"/b 0");
    p.set_property(u"APPLICATION_LANGUAGE", u"de-DE");
    p.set_property(u"IMANAGEENABLED", u"1");
    p.set_property(u"IMANAGEINSTALLPATH", u"C:\\Users\\O'Brien\\iManage\\Work10");
    p.set_registry_number(u"PrintBandSize", 1013760);
    p.set_registry_number(u"PrintBandCountForIgnore", 65535);
    generate_and_report(p);
    ASSERT_EQ(messages.recorder.message_boxes.size(), 1u);
    EXPECT_EQ(messages.recorder.message_boxes[0].type, static_cast<UINT>(MB_ICONINFORMATION));

    const auto applied = oracle_dump(package, {}, dir / "quorlin-pdf-pro.mst");
    EXPECT_EQ(applied, oracle_dump(dir / "quorlin-pdf-pro_Tmp.msi"));
    EXPECT_NE(applied.find("\tPrintBandSize\t#1013760\t"), std::string::npos);
    EXPECT_NE(applied.find("Property\tIMANAGEINSTALLPATH\tC:\\\\Users\\\\O'Brien\\\\iManage\\\\Work10\n"),
              std::string::npos);
}
