#pragma once
// The automation-shaped facade of the installer engine: the objects and
// members that callers of the Windows Installer automation object use, with
// counted references as shared pointers and strings as UTF-16.
#include "msi/automation_error.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace msi {

class package_database;  // engine internals
class query;
class stream_data;

inline constexpr int msiOpenDatabaseModeReadOnly = 0;
inline constexpr int msiOpenDatabaseModeTransact = 1;

// Error conditions a transform may suppress (ApplyTransform, and the low word
// of a transform's character count).
inline constexpr int msiTransformErrorNone = 0x0000;
inline constexpr int msiTransformErrorAddExistingRow = 0x0001;
inline constexpr int msiTransformErrorDeleteMissingRow = 0x0002;
inline constexpr int msiTransformErrorAddExistingTable = 0x0004;
inline constexpr int msiTransformErrorDeleteMissingTable = 0x0008;
inline constexpr int msiTransformErrorUpdateMissingRow = 0x0010;
inline constexpr int msiTransformErrorChangeCodePage = 0x0020;
inline constexpr int msiTransformErrorViewTransform = 0x0100;

// Checks a transform asks for before it is applied (the high word of its
// character count).
inline constexpr int msiTransformValidationNone = 0x0000;
inline constexpr int msiTransformValidationLanguage = 0x0001;
inline constexpr int msiTransformValidationProduct = 0x0002;
inline constexpr int msiTransformValidationPlatform = 0x0004;
inline constexpr int msiTransformValidationMajorVer = 0x0008;
inline constexpr int msiTransformValidationMinorVer = 0x0010;
inline constexpr int msiTransformValidationUpdateVer = 0x0020;
inline constexpr int msiTransformValidationLess = 0x0040;
inline constexpr int msiTransformValidationLessOrEqual = 0x0080;
inline constexpr int msiTransformValidationEqual = 0x0100;
inline constexpr int msiTransformValidationGreaterOrEqual = 0x0200;
inline constexpr int msiTransformValidationGreater = 0x0400;
inline constexpr int msiTransformValidationUpgradeCode = 0x0800;

// The ways View.Modify changes a table through a record.
inline constexpr int msiViewModifySeek = -1;
inline constexpr int msiViewModifyRefresh = 0;
inline constexpr int msiViewModifyInsert = 1;
inline constexpr int msiViewModifyUpdate = 2;
inline constexpr int msiViewModifyAssign = 3;
inline constexpr int msiViewModifyReplace = 4;
inline constexpr int msiViewModifyMerge = 5;
inline constexpr int msiViewModifyDelete = 6;
inline constexpr int msiViewModifyInsertTemporary = 7;

class Record {
public:
    explicit Record(int field_count = 0);
    int FieldCount() const;
    std::u16string StringData(int field) const;  // "" for NULL, decimal text for integers
    void SetStringData(int field, const std::u16string& value);
    int IntegerData(int field) const;  // MSI_NULL_INTEGER (0x80000000) for NULL
    void SetIntegerData(int field, int value);
    bool IsNull(int field) const;
    // Stream fields hold binary data: set from a file's content or from
    // bytes, and read in pieces from the start, each ReadStream going on
    // where the last one stopped (an empty result at the end). StringData
    // and IntegerData of a stream field raise ERROR_INVALID_DATATYPE.
    void SetStream(int field, const std::filesystem::path& file);
    void SetStream(int field, std::vector<std::uint8_t> bytes);
    std::vector<std::uint8_t> ReadStream(int field, int length);
    // Bytes of a stream, characters of a string, 4 for an integer, 0 for NULL.
    int DataSize(int field) const;

    struct field_value {
        enum class kind { null, integer, string, stream } type = kind::null;
        std::int32_t integer = 0;
        std::u16string text;
        std::shared_ptr<const stream_data> stream;  // kind::stream
        std::uint64_t read_position = 0;            // kind::stream: where ReadStream goes on
    };
    const field_value& field(int index) const;  // 1-based; E_INVALIDARG outside 0..FieldCount
    void set_stream(int field, std::shared_ptr<const stream_data> data);

private:
    std::vector<field_value> fields_;  // fields_[0] is field 0
};

class View {
public:
    explicit View(std::unique_ptr<query> q);
    ~View();
    View(const View&) = delete;
    View& operator=(const View&) = delete;
    void Execute(const Record* params = nullptr);
    std::shared_ptr<Record> Fetch();  // null when there is no further row
    // Changes the table of a one-table SELECT view through a record of its
    // fields, in one of the msiViewModify* modes. Refresh, update, replace
    // and delete need the record Fetch (or a seek) gave last; seek and
    // refresh fill the record from the table.
    void Modify(int mode, const std::shared_ptr<Record>& record);
    void Close();

private:
    std::unique_ptr<query> query_;
    std::shared_ptr<Record> current_;  // the record Fetch or a seek gave last
};

class Database {
public:
    explicit Database(std::shared_ptr<package_database> db);
    std::shared_ptr<View> OpenView(const std::u16string& sql);
    void Commit();
    // Commit waits until the disk holds the new state, unless this is set to
    // false for a database that is thrown away after a crash (a working
    // copy): its commits are then written in the same safe order, without
    // the wait.
    void SetDurableCommits(bool durable);
    bool GenerateTransform(const std::shared_ptr<Database>& reference, const std::u16string& transform_file);
    void CreateTransformSummaryInfo(const std::shared_ptr<Database>& reference, const std::u16string& transform_file,
                                    int error_conditions, int validation);
    // GenerateTransform and CreateTransformSummaryInfo at once: the transform
    // is built whole with its summary information and replaces the file in
    // one step. False, and nothing written, when the databases do not differ.
    bool GenerateTransformWithSummary(const std::shared_ptr<Database>& reference, const std::u16string& transform_file,
                                      int error_conditions, int validation);
    // The same for a file named by the file system's own path, whose bytes
    // need not be valid UTF-8.
    bool GenerateTransform(const std::shared_ptr<Database>& reference, const std::filesystem::path& transform_file);
    void CreateTransformSummaryInfo(const std::shared_ptr<Database>& reference,
                                    const std::filesystem::path& transform_file, int error_conditions, int validation);
    // Applies a transform file to this database as the installer does. The
    // conditions set in `error_conditions` (msiTransformError* values) are
    // suppressed; one that is not raises automation_error naming it, the
    // table and the row key, and leaves the database as it was. The changes
    // are held like any other until Commit.
    void ApplyTransform(const std::u16string& transform_file, int error_conditions);
    // Judges whether a transform fits this database before it is applied:
    // the checks its summary information asks for (language, product code,
    // platform, upgrade code, version relation), or those of `validation`
    // when it is not -1. One sentence per failed check; empty when it fits.
    std::vector<std::string> ValidateTransform(const std::u16string& transform_file, int validation = -1);
    // The same for a file named by the file system's own path.
    void ApplyTransform(const std::filesystem::path& transform_file, int error_conditions);
    std::vector<std::string> ValidateTransform(const std::filesystem::path& transform_file, int validation = -1);
    package_database& engine();

private:
    std::shared_ptr<package_database> db_;
};

class Installer {
public:
    std::shared_ptr<Database> OpenDatabase(const std::u16string& path, int open_mode);
    // The same for the file system's own path, whose bytes need not be valid UTF-8.
    std::shared_ptr<Database> OpenDatabase(const std::filesystem::path& path, int open_mode);
    // A package's bytes in memory, shared and never changed: read as a file
    // is, but Commit is refused (transforms can still be generated).
    std::shared_ptr<Database> OpenDatabase(std::shared_ptr<const std::vector<std::uint8_t>> bytes, int open_mode);
};

// Stand-in for CoCreateInstance of the installer class: may be replaced by
// tests to simulate an installer that cannot be created.
std::shared_ptr<Installer> create_installer();

// Tests replace create_installer's behaviour here: a non-empty factory is
// called instead of making the engine's own Installer (returning null
// simulates an installer that cannot be created). Returns the previous one.
using installer_factory = std::function<std::shared_ptr<Installer>()>;
installer_factory replace_installer_factory(installer_factory factory);

}  // namespace msi
