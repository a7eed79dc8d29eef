#include "fuzz_entries.h"
#include "scratch.h"

#include "msi/automation.h"
#include "msi/sql/parser.h"

#include <cstdlib>
#include <fstream>

namespace fuzz_entry {

namespace {

// Property, Registry and Control as the program reads them, and a table with
// a column of every kind.
const char* const sql_package_tables[][2] = {
    {"Property",
     "Property\tValue\r\ns72\tl0\r\nProperty\tProperty\r\n"
     "ProductName\tQuorlin PDF Pro\r\nProductCode\t{3F2C6A51-7B0E-4D8A-9E41-2C5B7A1D9E30}\r\n"
     "ProductVersion\t26.4.4.1\r\nDT_SHORTCUT\t1\r\nDROPBOXDISABLED\tunset\r\n"
     "IMANAGEINSTALLPATH\tC:\\Users\\O'Brien\\iManage\r\nEMPTY_LOOKING\t0\r\n"},
    {"Registry",
     "Registry\tRoot\tKey\tName\tValue\tComponent_\r\ns72\ti2\tl255\tL255\tL0\ts72\r\n"
     "Registry\tRegistry\r\n"
     "reg1\t2\tSoftware\\Quorlin\tnetwork_disk_enabled\t/b 0\tMain\r\n"
     "reg2\t2\tSoftware\\Quorlin\tPrintBandSize\t#8388608\tMain\r\n"
     "reg3\t1\tSoftware\\Quorlin\tShared\t\tMain\r\n"
     "reg4\t1\tSoftware\\Other\tShared\tsecond\tMain\r\n"},
    {"Control",
     "Dialog_\tControl\tType\tX\tY\tWidth\tHeight\tAttributes\tProperty\tText\tControl_Next\tHelp\r\n"
     "s72\ts50\ts20\ti2\ti2\ti2\ti2\tI4\tS72\tL0\tS50\tL50\r\nControl\tDialog_\tControl\r\n"
     "LicenseDlg\tTermsAndConditionsAgreement\tHyperlink\t1\t2\t3\t4\t3\t\t<a href=\"x\">Terms</a>\t\t\r\n"
     "LicenseDlg\tPrivacyPolicyAgreement\tHyperlink\t1\t2\t3\t4\t\t\t\t\t\r\n"},
    {"Kinds",
     "Key\tName\tLoc\tShort\tShortNull\tLong\tLongNull\r\ns72\tS64\tL64\ti2\tI2\ti4\tI4\r\nKinds\tKey\r\n"
     "a\tfirst\tone\t-5\t\t70000\t\r\nb\t\t\t32767\t1\t-2147483647\t9\r\n"},
};

}  // namespace

std::filesystem::path sql_package() {
    static const std::filesystem::path package = [] {
        const auto dir = scratch_dir() / "sql-package";
        std::filesystem::create_directories(dir);
        const auto out = dir / "sql.msi";
        std::string command = "cd '" + dir.string() + "' && msibuild sql.msi -s Quorlin >/dev/null";
        for (const auto& [name, text] : sql_package_tables) {
            std::ofstream(dir / (std::string(name) + ".idt"), std::ios::binary) << text;
            command += std::string(" && msibuild sql.msi -i ") + name + ".idt >/dev/null";
        }
        if (std::system(command.c_str()) != 0 || !std::filesystem::exists(out))
            finding("msibuild could not build the package for the SQL entry");
        return out;
    }();
    return package;
}

namespace {

// Invalid sequences become U+FFFD, one per byte.
std::u16string utf16_from_utf8(std::string_view text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        char32_t code = lead;
        if (lead >= 0x80) {
            if ((lead >> 5) == 6)
                extra = 1, code = lead & 0x1F;
            else if ((lead >> 4) == 14)
                extra = 2, code = lead & 0x0F;
            else if ((lead >> 3) == 30)
                extra = 3, code = lead & 0x07;
            else
                extra = 99;
        }
        // the sequence's last byte is text[i + extra]
        bool bad = extra == 99 || i + extra >= text.size();
        for (std::size_t k = 1; !bad && k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) bad = true;
            code = (code << 6) | (next & 0x3F);
        }
        if (bad || code > 0x10FFFF) {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        i += extra + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
    return out;
}

// Parameter values taken in turn: names and values the program uses, an
// empty (NULL) field and integers.
void fill_parameters(msi::Record& record, std::size_t salt) {
    static const char16_t* const texts[] = {u"DT_SHORTCUT", u"1", u"network_disk_enabled", u"/b 1", u"O'Brien"};
    for (int f = 1; f <= record.FieldCount(); ++f) {
        const std::size_t pick = (salt + static_cast<std::size_t>(f)) % 8;
        if (pick < 5)
            record.SetStringData(f, texts[pick]);
        else if (pick == 5)
            record.SetIntegerData(f, 2);
        else if (pick == 6)
            record.SetIntegerData(f, -32768);
    }
}

}  // namespace

void run_sql(const std::uint8_t* data, std::size_t size) {
    const auto package = sql_package();
    msi::Installer installer;
    std::shared_ptr<msi::Database> db;
    try {
        db = installer.OpenDatabase(package.u16string(), msi::msiOpenDatabaseModeTransact);
    } catch (const msi::automation_error& e) {
        finding(std::string("the SQL entry's package does not open: ") + e.what());
    }
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    for (int statement = 0; statement < 8 && start <= input.size(); ++statement) {
        std::size_t end = input.find('\n', start);
        if (end == std::string_view::npos) end = input.size();
        const std::u16string sql = utf16_from_utf8(input.substr(start, end - start));
        start = end + 1;
        try {
            std::size_t parameters = 0;
            try {
                parameters = msi::sql::parameter_count(msi::sql::parse(sql));
            } catch (const msi::automation_error&) {}
            auto view = db->OpenView(sql);
            msi::Record params(static_cast<int>(parameters > 64 ? 64 : parameters));
            fill_parameters(params, static_cast<std::size_t>(statement));
            view->Execute(&params);
            for (int rows = 0; rows < 1000; ++rows) {
                auto record = view->Fetch();
                if (!record) break;
                for (int f = 0; f <= record->FieldCount(); ++f) (void)record->StringData(f);
            }
            view->Close();
        } catch (const msi::automation_error&) {}
    }
}

}  // namespace fuzz_entry
