// Reading real packages: every column kind, code pages, 3-byte string
// references and long strings, each fixture made by an independent tool.
#include "support/engine_fixtures.h"

#include "msi/db/code_page.h"
#include "msi/db/package_database.h"
#include "msi/db/stream_name.h"
#include "support/msi_oracle.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace engine_test;

TEST(EngineRead, EveryColumnKindReadsAsStoredAndTheTableIsLoadedOnFirstUse) {
    test_support::temp_dir dir;
    test_support::build_msi(dir / "kinds.msi", standard_source());
    auto db = open(dir / "kinds.msi", msi::msiOpenDatabaseModeReadOnly);

    auto view = db->OpenView(u"SELECT * FROM Kinds WHERE Key = 'a'");
    view->Execute();
    auto a = view->Fetch();
    ASSERT_TRUE(a);
    ASSERT_EQ(a->FieldCount(), 8);
    EXPECT_EQ(a->StringData(1), u"a");
    EXPECT_EQ(a->StringData(2), u"plain");
    EXPECT_EQ(a->StringData(3), u"localized");
    EXPECT_EQ(a->IntegerData(4), -5);
    EXPECT_EQ(a->IntegerData(5), 32767);
    EXPECT_EQ(a->IntegerData(6), -2147483647);
    EXPECT_EQ(a->IntegerData(7), 2147483647);
    EXPECT_FALSE(view->Fetch());

    view = db->OpenView(u"SELECT Text, Loc, Short, Short2, Long, Long2 FROM Kinds WHERE Key = 'b'");
    view->Execute();
    auto b = view->Fetch();
    ASSERT_TRUE(b);
    EXPECT_TRUE(b->IsNull(1));
    EXPECT_TRUE(b->IsNull(2));
    EXPECT_TRUE(b->IsNull(3));
    EXPECT_EQ(b->IntegerData(3), static_cast<int>(0x80000000u));
    EXPECT_EQ(b->IntegerData(4), -32767);
    EXPECT_TRUE(b->IsNull(5));
    EXPECT_EQ(b->IntegerData(6), 0);
    EXPECT_EQ(b->StringData(6), u"0");

    // The engine's read interface: column types, binary cells and their streams.
    msi::package_database& engine = db->engine();
    msi::table& kinds = engine.get_table(u"Kinds");
    ASSERT_EQ(kinds.columns().size(), 8u);
    EXPECT_EQ(kinds.columns()[0].type, 0x2D48);  // key s72
    EXPECT_EQ(kinds.columns()[7].cell_kind(), msi::column::kind::binary);
    EXPECT_EQ(kinds.columns()[3].cell_kind(), msi::column::kind::int16);
    EXPECT_EQ(kinds.columns()[5].cell_kind(), msi::column::kind::int32);
    ASSERT_EQ(kinds.row_count(), 2u);
    EXPECT_EQ(engine.cell(kinds, 0, 7).type, msi::cell_value::kind::binary);
    EXPECT_EQ(engine.cell(kinds, 1, 7).type, msi::cell_value::kind::null);
    const std::u16string stream = engine.binary_stream_name(kinds, 0);
    EXPECT_EQ(stream, u"Kinds.a");
    auto bytes = engine.storage().read_stream(msi::encode_stream_name(stream, false));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "hello binary");
    EXPECT_EQ(engine.cell_bytes(kinds, 0, 1), "plain");

    const auto names = engine.table_names();
    EXPECT_NE(std::find(names.begin(), names.end(), u"Registry"), names.end());
    EXPECT_FALSE(engine.summary_information().empty());
}

TEST(EngineRead, NonAsciiTextInSingleAndDoubleByteCodePages) {
    test_support::temp_dir dir;
    struct sample {
        int code_page;
        const char* locale;
        std::string text;
    };
    for (const sample& s :
         {sample{1251, "ru_RU.UTF-8", "Привет, мир — «тест»"}, sample{932, "ja_JP.UTF-8", "日本語のテキスト ｶﾀｶﾅ"},
          sample{1252, "en_US.UTF-8", "Café Müller – 5 €"}}) {
        SCOPED_TRACE(s.code_page);
        const auto file = dir / ("cp" + std::to_string(s.code_page) + ".msi");
        build_msi_with_wine(file, s.code_page, s.locale,
                            {test_support::property_table({{"Greeting", s.text}, {s.text, "keyed"}})});
        // Wine's own reading agrees with the text we wrote, so the fixture is right.
        ASSERT_NE(test_support::oracle_dump(file, {"Property"}).find("Property\tGreeting\t" + s.text + "\n"),
                  std::string::npos);

        auto db = open(file, msi::msiOpenDatabaseModeReadOnly);
        EXPECT_EQ(db->engine().code_page(), s.code_page);
        EXPECT_EQ(sys::utf16_to_utf8(select_one(*db, u"SELECT Value FROM Property WHERE Property = 'Greeting'")),
                  s.text);
        // Non-ASCII literals in the statement compare with stored text.
        EXPECT_EQ(select_one(*db, u"SELECT Value FROM Property WHERE Property = '" + sys::utf8_to_utf16(s.text) + u"'"),
                  u"keyed");
        auto view = db->OpenView(u"SELECT Property FROM Property WHERE Value = ?");
        msi::Record params(1);
        params.SetStringData(1, u"keyed");
        view->Execute(&params);
        auto record = view->Fetch();
        ASSERT_TRUE(record);
        EXPECT_EQ(sys::utf16_to_utf8(record->StringData(1)), s.text);
    }
}

TEST(EngineRead, EveryCodePageWindowsInstallerAcceptsConverts) {
    struct sample {
        int code_page;
        std::string byte;
        std::u16string text;
    };
    for (const sample& s :
         {sample{437, "\x81", u"\u00FC"}, sample{737, "\x80", u"\u0391"}, sample{775, "\x80", u"\u0106"},
          sample{850, "\x9B", u"\u00F8"}, sample{852, "\x85", u"\u016F"}, sample{855, "\x80", u"\u0452"},
          sample{857, "\x8D", u"\u0131"}, sample{860, "\x84", u"\u00E3"}, sample{866, "\x80", u"\u0410"},
          sample{869, "\xA4", u"\u0391"}, sample{20866, "\xC1", u"\u0430"}, sample{28591, "\xE9", u"\u00E9"},
          sample{28592, "\xA3", u"\u0141"}, sample{28597, "\xC1", u"\u0391"}, sample{28605, "\xA4", u"\u20AC"},
          sample{1252, "\x80", u"\u20AC"}}) {
        SCOPED_TRACE(s.code_page);
        EXPECT_TRUE(msi::is_supported_code_page(s.code_page));
        EXPECT_EQ(msi::decode_code_page("a" + s.byte, s.code_page), u"a" + s.text);
        EXPECT_EQ(msi::encode_code_page(u"a" + s.text, s.code_page), "a" + s.byte);
    }
    // A code page no database may declare is named as such, not as damage.
    for (int code_page : {1200, 12345}) {
        EXPECT_FALSE(msi::is_supported_code_page(code_page));
        try {
            msi::decode_code_page("\xE9", code_page);
            ADD_FAILURE() << "decoded";
        } catch (const msi::automation_error& e) {
            EXPECT_EQ(e.code(), msi::hresult_from_win32(msi::ERROR_INSTALL_LANGUAGE_UNSUPPORTED));
            EXPECT_EQ(std::string(e.what()),
                      "The database's code page " + std::to_string(code_page) + " is not supported.");
        }
    }
}

TEST(EngineRead, ThreeByteReferencesAndLongStringsFromMsibuild) {
    test_support::temp_dir dir;
    test_support::msi_source source;
    std::string big = "Key\tValue\ns72\tS255\nBig\tKey\n";
    for (int i = 0; i < 35000; ++i) big += "k" + std::to_string(i) + "\tv" + std::to_string(i) + "\n";
    source.tables.push_back({"Big", big});
    // msibuild writes a long string's pool slots in its own layout, which
    // matches the installer's when the string is under 128 KiB and used once.
    const std::string long_value(70000, 'L');
    source.tables.push_back(test_support::property_table({{"Long", long_value}, {"Short", "s"}}));
    test_support::build_msi(dir / "big.msi", source);

    auto db = open(dir / "big.msi", msi::msiOpenDatabaseModeReadOnly);
    EXPECT_EQ(db->engine().strings().stored_reference_width(), 3);
    EXPECT_EQ(select_one(*db, u"SELECT Value FROM Big WHERE Key = 'k34999'"), u"v34999");
    EXPECT_EQ(select_one(*db, u"SELECT Value FROM Big WHERE Key = 'k0'"), u"v0");
    EXPECT_EQ(select_all(*db, u"SELECT Key FROM Big").size(), 35000u);
    EXPECT_EQ(sys::utf16_to_utf8(select_one(*db, u"SELECT Value FROM Property WHERE Property = 'Long'")), long_value);
    EXPECT_EQ(select_one(*db, u"SELECT Value FROM Property WHERE Property = 'Short'"), u"s");
}

TEST(EngineRead, PackagesFromWixlOpen) {
    test_support::temp_dir dir;
    test_support::build_msi_from_wxs(dir / "w.msi", R"(<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="{11111111-2222-3333-4444-555555555555}" Name="Quorlin Wixl" Language="1033" Version="1.2.3"
           Manufacturer="Quorlin" UpgradeCode="{11111111-2222-3333-4444-555555555556}">
    <Package InstallerVersion="200" Compressed="yes"/>
    <Property Id="IMANAGEENABLED" Value="1"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Component Id="Reg" Guid="{11111111-2222-3333-4444-555555555557}">
        <RegistryValue Root="HKLM" Key="Software\Quorlin" Name="Timeout" Type="integer" Value="8" KeyPath="yes"/>
      </Component>
    </Directory>
    <Feature Id="F" Level="1"><ComponentRef Id="Reg"/></Feature>
  </Product>
</Wix>)");
    auto db = open(dir / "w.msi", msi::msiOpenDatabaseModeReadOnly);
    EXPECT_EQ(select_one(*db, u"SELECT Value FROM Property WHERE Property = 'ProductVersion'"), u"1.2.3");
    EXPECT_EQ(select_one(*db, u"SELECT Value FROM Registry WHERE Name = 'Timeout'"), u"#8");
    EXPECT_EQ(select_one(*db, u"SELECT Value FROM Property WHERE Property = 'NoSuchName'"), u"");
}
