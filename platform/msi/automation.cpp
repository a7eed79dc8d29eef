#include "msi/automation.h"

#include "msi/db/code_page.h"
#include "msi/db/package_database.h"
#include "msi/db/stream_data.h"
#include "msi/sql/query.h"
#include "msi/transform/transform_file.h"
#include "msi/transform/generator.h"
#include "msi/transform/apply.h"
#include "msi/transform/reader.h"
#include "msi/transform/summary.h"
#include "msi/transform/validation.h"
#include "system/text_conversion.h"

#include <charconv>
#include <exception>
#include <fstream>
#include <iterator>
#include <new>
#include <climits>

namespace msi {
namespace {

// Callers of the automation object see failures only as automation errors:
// an allocation failure becomes E_OUTOFMEMORY, anything else unexpected E_FAIL.
template <typename F>
auto guarded(F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const automation_error&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw automation_error(E_OUTOFMEMORY, "Not enough memory for the installer database.");
    } catch (const std::exception& e) {
        throw automation_error(E_FAIL, e.what());
    }
}

// The record's fields as the values of the statement's ? markers, in order;
// markers past the record's last field are NULL, as msi.dll binds them.
std::vector<sql::value> parameter_values(const Record* params, std::size_t needed) {
    if (!params && needed > 0)
        throw automation_error(
            hresult_from_win32(ERROR_FUNCTION_FAILED),
            "The statement has " + std::to_string(needed) + " parameter(s) but no record was given.");
    std::vector<sql::value> values(needed);
    const std::size_t supplied = params ? static_cast<std::size_t>(params->FieldCount()) : 0;
    for (std::size_t i = 0; i < needed && i < supplied; ++i) {
        const Record::field_value& f = params->field(static_cast<int>(i + 1));
        if (f.type == Record::field_value::kind::integer) {
            values[i].type = sql::value::kind::integer;
            values[i].integer = f.integer;
        } else if (f.type == Record::field_value::kind::string && !f.text.empty()) {
            values[i].type = sql::value::kind::string;
            values[i].text = f.text;
        } else if (f.type == Record::field_value::kind::stream) {
            values[i].type = sql::value::kind::stream;
            values[i].stream = f.stream;
        }
    }
    return values;
}

// Fields 1..`fields` of the record set to the values of a row.
void fill_record(Record& record, const sql::value* row, std::size_t fields) {
    for (std::size_t f = 0; f < fields; ++f) {
        if (row[f].type == sql::value::kind::integer)
            record.SetIntegerData(static_cast<int>(f + 1), row[f].integer);
        else if (row[f].type == sql::value::kind::string)
            record.SetStringData(static_cast<int>(f + 1), row[f].text);
        else if (row[f].type == sql::value::kind::stream)
            record.set_stream(static_cast<int>(f + 1), row[f].stream);
    }
}

std::shared_ptr<Record> make_record(const sql::value* row, std::size_t fields) {
    auto record = std::make_shared<Record>(static_cast<int>(fields));
    fill_record(*record, row, fields);
    return record;
}

}  // namespace

// ---- Record

Record::Record(int field_count) : fields_(static_cast<std::size_t>(field_count < 0 ? 0 : field_count) + 1) {}

int Record::FieldCount() const { return static_cast<int>(fields_.size()) - 1; }

const Record::field_value& Record::field(int index) const {
    if (index < 0 || index > FieldCount())
        throw automation_error(E_INVALIDARG, "Field " + std::to_string(index) + " is outside the record's " +
                                                 std::to_string(FieldCount()) + " fields.");
    return fields_[static_cast<std::size_t>(index)];
}

namespace {
[[noreturn]] void not_text(int index) {
    throw automation_error(hresult_from_win32(ERROR_INVALID_DATATYPE),
                           "Field " + std::to_string(index) + " holds a stream; read it with ReadStream.");
}
}  // namespace

std::u16string Record::StringData(int index) const {
    const field_value& f = field(index);
    switch (f.type) {
    case field_value::kind::null: return {};
    case field_value::kind::integer: return sys::utf8_to_utf16(std::to_string(f.integer));
    case field_value::kind::string: return f.text;
    case field_value::kind::stream: not_text(index);
    }
    return {};
}

void Record::SetStringData(int index, const std::u16string& value) {
    field(index);  // range check
    field_value& f = fields_[static_cast<std::size_t>(index)];
    f = field_value{};
    if (!value.empty()) {  // an empty string is a NULL field
        f.type = field_value::kind::string;
        f.text = value;
    }
}

int Record::IntegerData(int index) const {
    const field_value& f = field(index);
    if (f.type == field_value::kind::integer) return f.integer;
    if (f.type == field_value::kind::stream) not_text(index);
    if (f.type == field_value::kind::string) {
        std::string digits = sys::utf16_to_utf8(f.text);
        int value = 0;
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (ec == std::errc() && end == digits.data() + digits.size()) return value;
    }
    return INT_MIN;  // MSI_NULL_INTEGER
}

void Record::SetIntegerData(int index, int value) {
    field(index);
    field_value& f = fields_[static_cast<std::size_t>(index)];
    f = field_value{};
    if (value != INT_MIN) {
        f.type = field_value::kind::integer;
        f.integer = value;
    }
}

bool Record::IsNull(int index) const { return field(index).type == field_value::kind::null; }

void Record::set_stream(int index, std::shared_ptr<const stream_data> data) {
    field(index);
    field_value& f = fields_[static_cast<std::size_t>(index)];
    f = field_value{};
    if (data) {
        f.type = field_value::kind::stream;
        f.stream = std::move(data);
    }
}

void Record::SetStream(int index, const std::filesystem::path& file) {
    field(index);
    std::ifstream in(file, std::ios::binary);
    std::vector<std::uint8_t> bytes;
    if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in && !in.eof())
        throw automation_error(
            hresult_from_win32(ERROR_OPEN_FAILED),
            "The file '" + file.string() + "' cannot be read into field " + std::to_string(index) + ".");
    set_stream(index, std::make_shared<stream_data>(std::move(bytes)));
}

void Record::SetStream(int index, std::vector<std::uint8_t> bytes) {
    field(index);
    set_stream(index, std::make_shared<stream_data>(std::move(bytes)));
}

std::vector<std::uint8_t> Record::ReadStream(int index, int length) {
    const field_value& f = field(index);
    if (f.type != field_value::kind::stream)
        throw automation_error(hresult_from_win32(ERROR_INVALID_DATATYPE),
                               "Field " + std::to_string(index) + " holds no stream.");
    if (length < 0) throw automation_error(E_INVALIDARG, "A stream cannot be read with a negative length.");
    return guarded([&] {
        const std::vector<std::uint8_t>& bytes = f.stream->bytes();
        std::uint64_t& at = fields_[static_cast<std::size_t>(index)].read_position;
        const std::uint64_t n = std::min<std::uint64_t>(static_cast<std::uint64_t>(length), bytes.size() - at);
        std::vector<std::uint8_t> piece(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                        bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
        return piece;
    });
}

int Record::DataSize(int index) const {
    const field_value& f = field(index);
    switch (f.type) {
    case field_value::kind::null: return 0;
    case field_value::kind::integer: return static_cast<int>(sizeof(std::int32_t));
    case field_value::kind::string: return static_cast<int>(f.text.size());
    case field_value::kind::stream: return static_cast<int>(std::min<std::uint64_t>(f.stream->size(), INT_MAX));
    }
    return 0;
}

// ---- View

View::View(std::unique_ptr<query> q) : query_(std::move(q)) {}
View::~View() = default;

void View::Execute(const Record* params) {
    if (!query_) throw automation_error(E_POINTER, "The view has no query.");
    guarded([&] { query_->execute(parameter_values(params, query_->parameter_count())); });
}

std::shared_ptr<Record> View::Fetch() {
    if (!query_) throw automation_error(E_POINTER, "The view has no query.");
    return guarded([&]() -> std::shared_ptr<Record> {
        const sql::value* row = query_->fetch();
        current_ = row ? make_record(row, query_->field_count()) : nullptr;
        return current_;
    });
}

void View::Modify(int mode, const std::shared_ptr<Record>& record) {
    if (!query_) throw automation_error(E_POINTER, "The view has no query.");
    if (!record) throw automation_error(E_POINTER, "Modify was given no record.");
    guarded([&] {
        std::vector<sql::value> fields = parameter_values(record.get(), static_cast<std::size_t>(record->FieldCount()));
        query_->modify(static_cast<query::modify_mode>(mode), fields, record == current_);
        if (mode != msiViewModifySeek && mode != msiViewModifyRefresh) return;
        fill_record(*record, fields.data(), query_->field_count());
        current_ = record;
    });
}

void View::Close() {
    current_.reset();
    if (query_) query_->close();
}

// ---- Database

Database::Database(std::shared_ptr<package_database> db) : db_(std::move(db)) {}

package_database& Database::engine() {
    if (!db_) throw automation_error(E_POINTER, "The database object is missing.");
    return *db_;
}

std::shared_ptr<View> Database::OpenView(const std::u16string& sql) {
    engine();
    return guarded([&] { return std::make_shared<View>(std::make_unique<query>(db_, sql)); });
}

void Database::Commit() {
    package_database& db = engine();
    guarded([&] { db.commit(); });
}

void Database::SetDurableCommits(bool durable) { engine().set_durable_commits(durable); }

// ---- Installer

namespace {
void check_open_mode(int open_mode) {
    if (open_mode != msiOpenDatabaseModeReadOnly && open_mode != msiOpenDatabaseModeTransact)
        throw automation_error(E_INVALIDARG, "Open mode " + std::to_string(open_mode) +
                                                 " is not supported; use 0 (read-only) or 1 (transact).");
}
}  // namespace

std::shared_ptr<Database> Installer::OpenDatabase(const std::u16string& path, int open_mode) {
    return OpenDatabase(sys::to_fs_path(path), open_mode);
}

std::shared_ptr<Database> Installer::OpenDatabase(const std::filesystem::path& file, int open_mode) {
    check_open_mode(open_mode);
    if (file.empty()) throw automation_error(hresult_from_win32(ERROR_OPEN_FAILED), "No database path was given.");
    return guarded([&] {
        return std::make_shared<Database>(package_database::open(file, open_mode == msiOpenDatabaseModeReadOnly));
    });
}

std::shared_ptr<Database> Installer::OpenDatabase(std::shared_ptr<const std::vector<std::uint8_t>> bytes,
                                                  int open_mode) {
    check_open_mode(open_mode);
    return guarded([&] {
        return std::make_shared<Database>(
            package_database::open(std::move(bytes), open_mode == msiOpenDatabaseModeReadOnly));
    });
}

namespace {
installer_factory& current_factory() {
    static installer_factory factory;
    return factory;
}
}  // namespace

installer_factory replace_installer_factory(installer_factory factory) {
    installer_factory previous = std::move(current_factory());
    current_factory() = std::move(factory);
    return previous;
}

std::shared_ptr<Installer> create_installer() {
    if (const installer_factory& factory = current_factory()) return factory();
    return std::make_shared<Installer>();
}

// ---- Database: transforms

namespace {

package_database& reference_engine(const std::shared_ptr<Database>& reference) {
    if (!reference) throw automation_error(E_POINTER, "No reference database was given.");
    return reference->engine();
}

std::filesystem::path transform_path(const std::u16string& file) {
    if (file.empty()) throw automation_error(E_INVALIDARG, "No transform file name was given.");
    return sys::to_fs_path(file);
}

// Tables read earlier must still be what the files hold.
void check_unchanged(package_database& target, package_database& reference) {
    target.storage().check_unchanged();
    reference.storage().check_unchanged();
}

}  // namespace

bool Database::GenerateTransform(const std::shared_ptr<Database>& reference, const std::u16string& transform_file) {
    return GenerateTransform(reference, transform_path(transform_file));
}

bool Database::GenerateTransform(const std::shared_ptr<Database>& reference,
                                 const std::filesystem::path& transform_file) {
    package_database& base = reference_engine(reference);
    if (transform_file.empty()) throw automation_error(E_INVALIDARG, "No transform file name was given.");
    check_unchanged(engine(), base);
    auto content = compare_databases(engine(), base);
    if (!content) return false;
    write_transform_file(*content, nullptr, transform_file);
    return true;
}

bool Database::GenerateTransformWithSummary(const std::shared_ptr<Database>& reference,
                                            const std::u16string& transform_file, int error_conditions,
                                            int validation) {
    package_database& base = reference_engine(reference);
    const auto path = transform_path(transform_file);
    check_unchanged(engine(), base);
    auto content = compare_databases(engine(), base);
    if (!content) return false;
    const summary_information summary = transform_summary(engine(), base, error_conditions, validation);
    write_transform_file(*content, &summary, path);
    return true;
}

void Database::CreateTransformSummaryInfo(const std::shared_ptr<Database>& reference,
                                          const std::u16string& transform_file, int error_conditions, int validation) {
    CreateTransformSummaryInfo(reference, transform_path(transform_file), error_conditions, validation);
}

void Database::CreateTransformSummaryInfo(const std::shared_ptr<Database>& reference,
                                          const std::filesystem::path& transform_file, int error_conditions,
                                          int validation) {
    package_database& base = reference_engine(reference);
    if (transform_file.empty()) throw automation_error(E_INVALIDARG, "No transform file name was given.");
    check_unchanged(engine(), base);
    write_transform_summary(transform_file, transform_summary(engine(), base, error_conditions, validation));
}

void Database::ApplyTransform(const std::u16string& transform_file, int error_conditions) {
    ApplyTransform(transform_path(transform_file), error_conditions);
}

void Database::ApplyTransform(const std::filesystem::path& transform_file, int error_conditions) {
    package_database& db = engine();
    if (transform_file.empty()) throw automation_error(E_INVALIDARG, "No transform file name was given.");
    guarded([&] { apply_transform(db, transform_file, error_conditions); });
}

std::vector<std::string> Database::ValidateTransform(const std::u16string& transform_file, int validation) {
    return ValidateTransform(transform_path(transform_file), validation);
}

std::vector<std::string> Database::ValidateTransform(const std::filesystem::path& transform_file, int validation) {
    package_database& db = engine();
    if (transform_file.empty()) throw automation_error(E_INVALIDARG, "No transform file name was given.");
    return guarded([&] {
        const transform_reader mst(transform_file);
        const transform_identity identity = read_transform_identity(mst.summary());
        return validate_transform(db, identity, validation == -1 ? identity.validation : validation);
    });
}

}  // namespace msi
