// Damaged packages: each raises automation_error with a message, from
// OpenDatabase or, for a table read on first use, from OpenView; none crashes
// or changes the file.
#include "support/engine_fixtures.h"

#include "msi/cfb/compound_file.h"
#include "msi/db/package_database.h"
#include "msi/db/stream_name.h"
#include "support/file_guard.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace engine_test;

namespace {

using bytes = std::vector<std::uint8_t>;

void put_u32(bytes& b, std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) b[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
}

class DamagedPackage : public ::testing::Test {
protected:
    void SetUp() override { test_support::write_msi(good_, standard_source()); }

    // A copy of the good package with one stream replaced by what `change`
    // makes of it (written by the container alone, not by the database layer).
    std::filesystem::path damaged(const std::string& name, const std::u16string& table_stream,
                                  const std::function<void(bytes&)>& change) {
        const auto file = dir_ / (name + ".msi");
        std::filesystem::copy_file(good_, file);
        auto cf = msi::compound_file::open(file);
        const auto stream = msi::encode_stream_name(table_stream, true);
        bytes data = cf->read_stream(stream);
        change(data);
        cf->write_stream(stream, data);
        cf->commit();
        return file;
    }

    // The message of the automation error that opening `file` and reading
    // Property and Kinds raises; fails the test when there is none.
    static std::string open_error(const std::filesystem::path& file) {
        test_support::file_unchanged_guard guard(file);
        try {
            auto db = open(file, msi::msiOpenDatabaseModeTransact);
            select_all(*db, u"SELECT * FROM Property");
            select_all(*db, u"SELECT * FROM Kinds");
        } catch (const msi::automation_error& e) {
            EXPECT_NE(e.code(), 0);
            EXPECT_GT(std::string(e.what()).size(), 10u);
            return e.what();
        }
        ADD_FAILURE() << file << " opened without an error";
        return {};
    }

    test_support::temp_dir dir_;
    std::filesystem::path good_ = dir_ / "good.msi";
};

}  // namespace

TEST_F(DamagedPackage, FilesThatAreNoInstallerDatabase) {
    test_support::write_file(dir_ / "text.msi", "This is not a compound file at all.\n");
    open_error(dir_ / "text.msi");
    const std::string whole = test_support::read_file(good_);
    test_support::write_file(dir_ / "truncated.msi", whole.substr(0, 1536));
    open_error(dir_ / "truncated.msi");
    msi::compound_file::create(msi::transform_class_id)->save_as(dir_ / "transform.msi");
    EXPECT_NE(open_error(dir_ / "transform.msi").find("not an installer database"), std::string::npos);
    try {
        open(dir_ / "missing.msi", msi::msiOpenDatabaseModeReadOnly);
        ADD_FAILURE() << "a missing file opened";
    } catch (const msi::automation_error&) {}
}

TEST_F(DamagedPackage, StringPoolsThatDisagreeWithTheirData) {
    // A string longer than the data behind it.
    auto message = open_error(damaged("long", u"_StringPool", [](bytes& b) {
        b[4] = 0xFF;
        b[5] = 0x7F;
    }));
    EXPECT_NE(message.find("string pool"), std::string::npos) << message;
    // An unknown code page.
    message = open_error(damaged("codepage", u"_StringPool", [](bytes& b) { put_u32(b, 0, 12345); }));
    EXPECT_NE(message.find("12345"), std::string::npos) << message;
    // A long-string marker claiming 4 GiB, and one cut off at the end.
    open_error(damaged("huge", u"_StringPool", [](bytes& b) {
        b.insert(b.end(), {0, 0, 1, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    }));
    open_error(damaged("cut", u"_StringPool", [](bytes& b) { b.insert(b.end(), {0, 0, 1, 0}); }));
    open_error(damaged("odd", u"_StringPool", [](bytes& b) { b.push_back(0); }));
}

TEST_F(DamagedPackage, TablesThatAreNotWholeRowsOrReferToMissingStrings) {
    auto message = open_error(damaged("rows", u"Property", [](bytes& b) { b.push_back(0); }));
    EXPECT_NE(message.find("Property"), std::string::npos) << message;
    message = open_error(damaged("ids", u"Kinds", [](bytes& b) {
        b[0] = 0xF0;
        b[1] = 0xFF;
    }));
    EXPECT_NE(message.find("Kinds"), std::string::npos) << message;
    open_error(damaged("columns", u"_Columns", [](bytes& b) { b.resize(b.size() - 2); }));
    // A catalog naming a table whose columns are not numbered 1..n.
    open_error(damaged("numbers", u"_Columns", [](bytes& b) {
        const std::size_t rows = b.size() / 8;  // Table, Number, Name, Type: 2 bytes each
        for (std::size_t r = 0; r < rows; ++r) b[2 * rows + 2 * r] = 0x50;
    }));
}

TEST_F(DamagedPackage, RandomDamageToPoolCatalogAndTablesRaisesOnlyAutomationErrors) {
    const std::u16string streams[] = {u"_StringPool", u"_StringData", u"_Tables", u"_Columns", u"Property", u"Kinds"};
    std::mt19937 random(20261208);
    int refused = 0;
    for (int round = 0; round < 120; ++round) {
        const std::u16string& stream = streams[round % std::size(streams)];
        const int kind = static_cast<int>(random() % 3);
        auto file = damaged("random" + std::to_string(round), stream, [&](bytes& b) {
            if (kind == 0 && !b.empty()) {
                for (int k = 0; k < 3; ++k) b[random() % b.size()] = static_cast<std::uint8_t>(random());
            } else if (kind == 1) {
                b.resize(random() % (b.size() + 1));
            } else {
                for (int k = static_cast<int>(random() % 9); k > 0; --k)
                    b.push_back(static_cast<std::uint8_t>(random()));
            }
        });
        SCOPED_TRACE("round " + std::to_string(round));
        try {
            auto db = open(file, msi::msiOpenDatabaseModeTransact);
            for (const auto& name : db->engine().table_names()) select_all(*db, u"SELECT * FROM `" + name + u"`");
            execute(*db, u"UPDATE Property SET Value = 'changed' WHERE Property = 'LANG'");
            db->Commit();
        } catch (const msi::automation_error& e) {
            ++refused;
            EXPECT_GT(std::string(e.what()).size(), 10u);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "not an automation error: " << e.what();
        }
    }
    EXPECT_GT(refused, 30);
}
