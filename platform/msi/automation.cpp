#include "msi/automation.h"

#include "msi/code_page.h"
#include "msi/database.h"
#include "msi/query.h"
#include "system/text_conversion.h"

#include <charconv>
#include <exception>
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

std::u16string Record::StringData(int index) const {
    const field_value& f = field(index);
    switch (f.type) {
        case field_value::kind::null: return {};
        case field_value::kind::integer: return from_utf8(std::to_string(f.integer));
        case field_value::kind::string: return f.text;
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
    if (f.type == field_value::kind::string) {
        std::string digits = to_utf8(f.text);
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

// ---- View

View::View(std::unique_ptr<query> q) : query_(std::move(q)) {}
View::~View() = default;

void View::Execute(const Record* params) {
    if (!query_) throw automation_error(E_POINTER, "The view has no query.");
    guarded([&] { query_->execute(params); });
}

std::shared_ptr<Record> View::Fetch() {
    if (!query_) throw automation_error(E_POINTER, "The view has no query.");
    return guarded([&] { return query_->fetch(); });
}

void View::Close() {
    if (query_) query_->close();
}

// ---- Database

Database::Database(std::shared_ptr<database> db) : db_(std::move(db)) {}

database& Database::engine() {
    if (!db_) throw automation_error(E_POINTER, "The database object is missing.");
    return *db_;
}

std::shared_ptr<View> Database::OpenView(const std::u16string& sql) {
    engine();
    return guarded([&] { return std::make_shared<View>(std::make_unique<query>(db_, sql)); });
}

void Database::Commit() {
    database& db = engine();
    guarded([&] { db.commit(); });
}

// ---- Installer

std::shared_ptr<Database> Installer::OpenDatabase(const std::u16string& path, int open_mode) {
    if (open_mode != msiOpenDatabaseModeReadOnly && open_mode != msiOpenDatabaseModeTransact)
        throw automation_error(E_INVALIDARG, "Open mode " + std::to_string(open_mode) +
                                                 " is not supported; use 0 (read-only) or 1 (transact).");
    if (path.empty()) throw automation_error(hresult_from_win32(ERROR_OPEN_FAILED), "No database path was given.");
    return guarded([&] {
        const std::filesystem::path file = sys::to_fs_path(path);
        return std::make_shared<Database>(database::open(file, open_mode == msiOpenDatabaseModeReadOnly));
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

}  // namespace msi
