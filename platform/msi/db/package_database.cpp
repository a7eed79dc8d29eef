#include "msi/db/package_database.h"

#include "msi/automation_error.h"
#include "msi/db/code_page.h"
#include "msi/db/stream_name.h"
#include "system/prefault.h"
#include "system/text_conversion.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <span>

namespace msi {
namespace {

const std::u16string tables_name = u"_Tables";
const std::u16string columns_name = u"_Columns";
const std::u16string summary_stream = u"\005SummaryInformation";

// The catalog tables' own definitions are fixed; no database describes them.
std::vector<column> tables_columns() {
    return {{u"Name", column_type_valid | column_type_string | column_type_key | 64}};
}
std::vector<column> columns_columns() {
    return {{u"Table", column_type_valid | column_type_string | column_type_key | 64},
            {u"Number", column_type_valid | column_type_key | 2},
            {u"Name", column_type_valid | column_type_string | 64},
            {u"Type", column_type_valid | 2}};
}

[[noreturn]] void invalid_package(const std::string& message) {
    throw automation_error(hresult_from_win32(ERROR_INSTALL_PACKAGE_INVALID), message);
}

[[noreturn]] void refuse(const std::string& message) {
    throw automation_error(hresult_from_win32(ERROR_FUNCTION_FAILED), message);
}

// A string reference as a table stream stores it: 2 or 3 bytes, little-endian.
std::uint32_t stored_reference(const std::uint8_t* at, int width) {
    return width == 2 ? std::uint32_t(at[0] | at[1] << 8) : std::uint32_t(at[0] | at[1] << 8 | at[2] << 16);
}

std::string describe(const table& t, std::size_t column) {
    return "column '" + sys::utf16_to_utf8(t.columns()[column].name) + "' of table '" + sys::utf16_to_utf8(t.name()) +
           "'";
}

}  // namespace

package_database::package_database(std::filesystem::path path, bool read_only, std::unique_ptr<compound_file> file)
    : path_(std::move(path)), read_only_(read_only), file_(std::move(file)) {}

std::shared_ptr<package_database> package_database::open(const std::filesystem::path& path, bool read_only) {
    return load(path, read_only, compound_file::open(path));
}

std::shared_ptr<package_database> package_database::open(std::shared_ptr<const std::vector<std::uint8_t>> bytes,
                                                         bool read_only) {
    const std::filesystem::path label = "(package in memory)";
    try {
        return load(label, read_only, compound_file::open(std::move(bytes)));
    } catch (const automation_error& e) {
        const std::string what = e.what();
        if (what.find(label.string()) != std::string::npos) throw;
        throw automation_error(e.code(), label.string() + ": " + what);
    }
}

std::shared_ptr<package_database> package_database::create(int code_page) {
    auto file = compound_file::create(database_class_id);
    string_pool::streams empty = string_pool(code_page).encode();
    file->write_stream(encode_stream_name(u"_StringPool", true), std::move(empty.pool));
    file->write_stream(encode_stream_name(u"_StringData", true), std::move(empty.data));
    return load("(new database)", false, std::move(file));
}

std::shared_ptr<package_database> package_database::load(std::filesystem::path path, bool read_only,
                                                         std::unique_ptr<compound_file> file) {
    if (file->root_class() != database_class_id)
        throw automation_error(hresult_from_win32(ERROR_INSTALL_PACKAGE_INVALID),
                               "'" + path.string() + "' is not an installer database.");
    std::shared_ptr<package_database> db(new package_database(path, read_only, std::move(file)));
    try {
        const std::u16string pool_name = encode_stream_name(u"_StringPool", true);
        const std::u16string data_name = encode_stream_name(u"_StringData", true);
        if (!db->file_->has_stream(pool_name)) invalid_package("The installer database has no string pool.");
        std::vector<std::uint8_t> data;
        if (db->file_->has_stream(data_name)) data = db->file_->read_stream(data_name);
        const std::size_t pool_size = static_cast<std::size_t>(db->file_->stream_size(pool_name));
        db->strings_ =
            string_pool::load(db->file_->read_stream(pool_name, string_pool::room_to_grow(pool_size)), std::move(data));
        db->load_catalog();
    } catch (const automation_error& e) {
        throw automation_error(e.code(), "'" + path.string() + "': " + e.what());
    }
    return db;
}

void package_database::check_string_id(std::uint32_t id, const table& t) const {
    if (id != 0 && !strings_.contains(id))
        invalid_package("Table '" + sys::utf16_to_utf8(t.name()) + "' refers to string " + std::to_string(id) +
                        ", which the string pool lacks.");
}

void package_database::load_catalog() {
    auto read = [this](table& t) {
        const std::u16string stream = encode_stream_name(t.name(), true);
        if (file_->has_stream(stream)) {
            table::check_whole_rows(t.name(), file_->stream_size(stream),
                                    t.row_width(strings_.stored_reference_width()));
            t.read_stream(file_->read_stream(stream), strings_.stored_reference_width());
        }
        for (std::size_t r = 0; r < t.row_count(); ++r)
            for (std::size_t c = 0; c < t.columns().size(); ++c)
                if (t.columns()[c].cell_kind() == column::kind::string) check_string_id(t.cell(r, c), t);
    };
    tables_catalog_ = std::make_unique<table>(tables_name, tables_columns());
    columns_catalog_ = std::make_unique<table>(columns_name, columns_columns());
    read(*tables_catalog_);
    read(*columns_catalog_);
}

std::vector<std::u16string> package_database::table_names() const {
    std::vector<std::u16string> names;
    names.reserve(tables_catalog_->row_count());
    for (std::size_t r = 0; r < tables_catalog_->row_count(); ++r) {
        std::uint32_t id = tables_catalog_->cell(r, 0);
        if (id != 0) names.push_back(strings_.text(id));
    }
    return names;
}

bool package_database::has_table(std::u16string_view name) const {
    if (name == tables_name || name == columns_name) return true;
    // A table read or created is in the catalog: no need to look its name up.
    if (loaded_.find(name) != loaded_.end()) return true;
    auto id = strings_.find(name);
    if (!id) return false;
    table::row key{*id};
    return tables_catalog_->has_key(key);
}

table& package_database::get_table(std::u16string_view name) {
    if (name == tables_name) return *tables_catalog_;
    if (name == columns_name) return *columns_catalog_;
    if (auto it = loaded_.find(name); it != loaded_.end()) return *it->second;
    if (!has_table(name))
        throw automation_error(hresult_from_win32(ERROR_INVALID_TABLE),
                               "The database has no table '" + sys::utf16_to_utf8(name) + "'.");
    return load_table(std::u16string(name));
}

std::vector<column> package_database::columns_of(const std::u16string& name) const {
    const std::uint32_t name_id = *strings_.find(name);
    const table& catalog = *columns_catalog_;
    std::vector<std::pair<std::int32_t, column>> found;
    for (std::size_t r = 0; r < catalog.row_count(); ++r) {
        if (catalog.cell(r, 0) != name_id) continue;
        std::uint32_t number = catalog.cell(r, 1), column_name = catalog.cell(r, 2), type = catalog.cell(r, 3);
        if (number == 0 || column_name == 0 || type == 0)
            invalid_package("Table '" + sys::utf16_to_utf8(name) + "' has a column without a number, name or type.");
        auto column_type = static_cast<std::uint16_t>(decode_int16(type));
        // A stored catalog row describes a column that the table's stream
        // holds, whatever its temporary flag says (only a damaged file sets
        // it there): read and written alike, the column keeps its place.
        if (!catalog.is_temporary(r)) column_type &= static_cast<std::uint16_t>(~column_type_temporary);
        found.emplace_back(decode_int16(number), column{strings_.text(column_name), column_type});
    }
    if (found.empty()) invalid_package("Table '" + sys::utf16_to_utf8(name) + "' has no columns.");
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<column> columns;
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (found[i].first != static_cast<std::int32_t>(i + 1))
            invalid_package("The columns of table '" + sys::utf16_to_utf8(name) + "' are not numbered 1 to " +
                            std::to_string(found.size()) + ".");
        columns.push_back(std::move(found[i].second));
    }
    return columns;
}

table& package_database::load_table(const std::u16string& name) {
    std::vector<column> columns = columns_of(name);
    auto t = std::make_unique<table>(name, std::move(columns));
    const std::u16string stream = encode_stream_name(name, true);
    if (file_->has_stream(stream)) {
        const int width = strings_.stored_reference_width();
        table::check_whole_rows(name, file_->stream_size(stream), t->row_width(width));
        t->read_stream(file_->read_stream(stream), width);
        for (std::size_t c = 0; c < t->columns().size(); ++c) {
            if (t->columns()[c].cell_kind() != column::kind::string) continue;
            for (std::size_t r = 0; r < t->row_count(); ++r) check_string_id(t->cell(r, c), *t);
        }
    }
    table& result = *t;
    loaded_.emplace(name, std::move(t));
    return result;
}

cell_value package_database::cell(const table& t, std::size_t row, std::size_t column) const {
    std::uint32_t stored = t.cell(row, column);
    cell_value v;
    if (stored == null_cell) return v;
    switch (t.columns()[column].cell_kind()) {
    case column::kind::int16:
        v.type = cell_value::kind::integer;
        v.integer = decode_int16(stored);
        break;
    case column::kind::int32:
        v.type = cell_value::kind::integer;
        v.integer = decode_int32(stored);
        break;
    case column::kind::string:
        v.type = cell_value::kind::string;
        v.string_id = stored;
        break;
    case column::kind::binary: v.type = cell_value::kind::binary; break;
    }
    return v;
}

std::string package_database::cell_bytes(const table& t, std::size_t row, std::size_t column) const {
    cell_value v = cell(t, row, column);
    return v.type == cell_value::kind::string ? std::string(strings_.bytes(v.string_id)) : std::string();
}

std::u16string package_database::cell_text(const table& t, std::size_t row, std::size_t column) const {
    cell_value v = cell(t, row, column);
    return v.type == cell_value::kind::string ? strings_.text(v.string_id) : std::u16string();
}

std::u16string package_database::binary_stream_name(const table& t, std::size_t row) const {
    std::u16string name = t.name();
    for (std::size_t c = 0; c < t.columns().size(); ++c) {
        if (!t.columns()[c].is_key()) continue;
        name += u'.';
        cell_value v = cell(t, row, c);
        if (v.type == cell_value::kind::string)
            name += strings_.text(v.string_id);
        else if (v.type == cell_value::kind::integer)
            name += sys::utf8_to_utf16(std::to_string(v.integer));
    }
    return name;
}

std::optional<std::u16string> package_database::row_stream(const table& t, std::size_t row) const {
    for (std::size_t c = 0; c < t.columns().size(); ++c)
        if (t.columns()[c].cell_kind() == column::kind::binary && t.cell(row, c) != null_cell)
            return encode_stream_name(binary_stream_name(t, row), false);
    return std::nullopt;
}

std::optional<std::u16string> package_database::binary_stream(const table& t, std::size_t row,
                                                              std::size_t column) const {
    if (t.cell(row, column) == null_cell) return std::nullopt;
    std::u16string name = encode_stream_name(binary_stream_name(t, row), false);
    if (!file_->has_stream(name)) return std::nullopt;
    return name;
}

void package_database::set_binary(table& t, std::size_t row, std::size_t column,
                                  const std::vector<std::uint8_t>* data) {
    if (t.columns().at(column).cell_kind() != column::kind::binary)
        refuse("Stream data cannot be stored in the " + describe(t, column) + ", which does not hold binary data.");
    const std::u16string name = encode_stream_name(binary_stream_name(t, row), false);
    if (data) {
        file_->write_stream(name, *data);  // raises for a name the file cannot hold, before the cell changes
        t.set_cell(row, column, 1);        // a binary cell stores only that it has data
        return;
    }
    t.set_cell(row, column, null_cell);
    if (!row_stream(t, row)) remove_streams({name});
}

void package_database::remove_streams(const std::vector<std::u16string>& stored_names) {
    for (const std::u16string& name : stored_names)
        if (file_->has_stream(name)) file_->remove_stream(name);
}

void package_database::release(std::uint32_t id) {
    if (counts_exact_)
        strings_.release(id);
    else
        strings_.release_keeping(id);
}

bool package_database::holds_temporary_data() const {
    auto holds = [](const table& t) { return t.has_temporary_rows() || t.has_temporary_columns(); };
    return holds(*tables_catalog_) || holds(*columns_catalog_) ||
           std::any_of(loaded_.begin(), loaded_.end(), [&](const auto& named) { return holds(*named.second); });
}

template <typename OnCell, typename OnStored>
void package_database::visit_string_cells(bool stored_only, OnCell&& on_cell, OnStored&& on_stored) {
    auto visit_in = [&](const table& t) {
        const bool skip_rows = stored_only && t.has_temporary_rows();
        for (std::size_t c = 0; c < t.columns().size(); ++c) {
            const column& col = t.columns()[c];
            if (col.cell_kind() != column::kind::string || (stored_only && col.is_temporary())) continue;
            for (std::size_t r = 0; r < t.row_count(); ++r)
                if (!skip_rows || !t.is_temporary(r)) on_cell(t.cell(r, c));
        }
    };
    visit_in(*tables_catalog_);
    visit_in(*columns_catalog_);
    // Tables not read yet are visited in their streams, without building them.
    const int width = strings_.stored_reference_width();
    constexpr std::size_t window_cells = 65536;
    std::vector<std::uint8_t> window;
    for (const std::u16string& name : table_names()) {
        if (auto it = loaded_.find(name); it != loaded_.end()) {
            visit_in(*it->second);
            continue;
        }
        const std::u16string stream = encode_stream_name(name, true);
        if (!file_->has_stream(stream)) continue;
        const std::vector<column> columns = columns_of(name);
        std::size_t row_width = 0;
        for (const column& c : columns) row_width += static_cast<std::size_t>(c.width(width));
        const std::uint64_t size = file_->stream_size(stream);
        table::check_whole_rows(name, size, row_width);
        const std::uint64_t rows = size / row_width;
        // Only the string columns are read, a window at a time into one
        // buffer: the stream is column-major, so a column is one run of cells.
        std::uint64_t column_start = 0;
        for (const column& c : columns) {
            const std::uint64_t column_bytes = rows * static_cast<std::uint64_t>(c.width(width));
            if (c.cell_kind() == column::kind::string) {
                window.resize(window_cells * static_cast<std::size_t>(width));
                for (std::uint64_t done = 0; done < column_bytes;) {
                    const auto piece =
                        static_cast<std::size_t>(std::min<std::uint64_t>(window.size(), column_bytes - done));
                    file_->read_stream_part(stream, column_start + done, {window.data(), piece});
                    on_stored(std::span<const std::uint8_t>(window.data(), piece), width);
                    done += piece;
                }
            }
            column_start += column_bytes;
        }
    }
}

std::vector<std::uint32_t> package_database::count_references(bool stored_only) {
    std::vector<std::uint32_t> counts;
    sys::reserve_prefaulted(counts, strings_.id_limit());
    counts.resize(strings_.id_limit());
    auto count = [&](std::uint32_t id) {
        if (id < counts.size()) ++counts[id];  // ids past the pool are left to the reads that check them
    };
    visit_string_cells(stored_only, count, [&](std::span<const std::uint8_t> cells, int width) {
        for (std::size_t at = 0; at < cells.size(); at += static_cast<std::size_t>(width))
            count(stored_reference(cells.data() + at, width));
    });
    return counts;
}

namespace {

// Cells of `width` bytes in `cells` that hold `id`, found by looking for
// one of its bytes with memchr, far faster than reading every cell. The
// byte looked for is the lowest that is not zero: zeros fill the high bytes
// of most cells and the whole of null ones.
std::uint32_t count_stored(std::span<const std::uint8_t> cells, int width, std::uint32_t id) {
    const std::uint8_t pattern[3] = {static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(id >> 8),
                                     static_cast<std::uint8_t>(id >> 16)};
    const auto w = static_cast<std::size_t>(width);
    std::size_t key = 0;
    while (key + 1 < w && pattern[key] == 0) ++key;
    std::uint32_t found = 0;
    const std::uint8_t* const begin = cells.data();
    const std::size_t size = cells.size() - cells.size() % w;
    for (std::size_t at = key; at < size;) {
        const void* hit = std::memchr(begin + at, pattern[key], size - at);
        if (hit == nullptr) break;
        const auto offset = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - begin);
        const std::size_t cell = offset - key;
        if (cell % w == 0 && std::memcmp(begin + cell, pattern, w) == 0) ++found;
        at = offset + 1;
    }
    return found;
}

}  // namespace

std::vector<std::uint32_t> package_database::count_references_to(const std::vector<std::uint32_t>& ids) {
    std::vector<std::uint32_t> counts(ids.size(), 0);
    visit_string_cells(
        false,
        [&](std::uint32_t id) {
            const auto it = std::lower_bound(ids.begin(), ids.end(), id);
            if (it != ids.end() && *it == id) ++counts[static_cast<std::size_t>(it - ids.begin())];
        },
        [&](std::span<const std::uint8_t> cells, int width) {
            for (std::size_t k = 0; k < ids.size(); ++k) counts[k] += count_stored(cells, width, ids[k]);
        });
    return counts;
}

void package_database::make_counts_exact() {
    if (counts_exact_) return;
    strings_.set_reference_counts(count_references());
    counts_exact_ = true;
}

void package_database::settle_unreferenced_strings() {
    if (counts_exact_) return;
    // Past this many, one pass that counts every string costs less than a
    // search for each.
    constexpr std::size_t searched_at_most = 16;
    const std::vector<std::uint32_t> waiting = strings_.unreferenced_ids(searched_at_most);
    if (waiting.size() > searched_at_most) {
        make_counts_exact();
        return;
    }
    if (waiting.empty()) return;
    const std::vector<std::uint32_t> counts = count_references_to(waiting);
    for (std::size_t k = 0; k < waiting.size(); ++k) strings_.set_reference_count(waiting[k], counts[k]);
}

void package_database::set_null(table& t, std::size_t row, std::size_t column) {
    const msi::column& c = t.columns().at(column);
    if (c.is_key()) refuse("A key column cannot be NULL: " + describe(t, column) + ".");
    std::uint32_t old = t.cell(row, column);
    if (old == null_cell) return;
    if (c.cell_kind() == column::kind::binary)
        refuse("Binary data cannot be changed here: " + describe(t, column) + ".");
    t.set_cell(row, column, null_cell);
    if (c.cell_kind() == column::kind::string) release(old);
}

void package_database::set_integer(table& t, std::size_t row, std::size_t column, std::int32_t value) {
    const msi::column& c = t.columns().at(column);
    std::uint32_t stored;
    if (c.cell_kind() == column::kind::int16) {
        if (value < -32767 || value > 32767)
            refuse("The value " + std::to_string(value) + " does not fit the 2-byte " + describe(t, column) + ".");
        stored = encode_int16(value);
    } else if (c.cell_kind() == column::kind::int32) {
        if (value == INT32_MIN)
            refuse("The value " + std::to_string(value) + " is the NULL integer and cannot be stored in " +
                   describe(t, column) + ".");
        stored = encode_int32(value);
    } else {
        refuse("An integer cannot be stored in the " +
               std::string(c.cell_kind() == column::kind::string ? "string" : "binary") + " " + describe(t, column) +
               ".");
    }
    if (c.is_key()) {
        table::row candidate = t.get_row(row);
        candidate[column] = stored;
        if (t.has_key(candidate, row))
            refuse("Another row of table '" + sys::utf16_to_utf8(t.name()) + "' has the same key.");
    }
    t.set_cell(row, column, stored);
}

void package_database::set_string(table& t, std::size_t row, std::size_t column, std::u16string_view text) {
    const msi::column& c = t.columns().at(column);
    if (c.cell_kind() != column::kind::string)
        refuse("A string cannot be stored in the " +
               std::string(c.cell_kind() == column::kind::binary ? "binary" : "integer") + " " + describe(t, column) +
               ".");
    if (text.empty()) {
        set_null(t, row, column);
        return;
    }
    std::string stored = encode_code_page(text, strings_.code_page());
    std::uint32_t old = t.cell(row, column);
    std::uint32_t id = strings_.add_reference_bytes(stored);
    if (c.is_key()) {
        table::row candidate = t.get_row(row);
        candidate[column] = id;
        if (t.has_key(candidate, row)) {
            release(id);
            refuse("Another row of table '" + sys::utf16_to_utf8(t.name()) + "' has the same key.");
        }
    }
    t.set_cell(row, column, id);
    release(old);
}

std::size_t package_database::insert_row(table& t, const std::vector<cell_value>& values,
                                         const std::vector<std::u16string>& texts, bool temporary) {
    if (&t == tables_catalog_.get() || &t == columns_catalog_.get())
        refuse("The catalog tables cannot be changed here.");
    if (values.size() != t.columns().size())
        refuse("Table '" + sys::utf16_to_utf8(t.name()) + "' has " + std::to_string(t.columns().size()) + " columns.");
    table::row stored(values.size(), null_cell);
    std::vector<std::uint32_t> added;
    try {
        for (std::size_t c = 0; c < values.size(); ++c) {
            const column& col = t.columns()[c];
            const cell_value& v = values[c];
            if (v.type == cell_value::kind::null || v.type == cell_value::kind::binary ||
                (v.type == cell_value::kind::string && c < texts.size() && texts[c].empty())) {
                if (col.is_key()) refuse("A key column cannot be NULL: " + describe(t, c) + ".");
                continue;
            }
            if (v.type == cell_value::kind::integer) {
                if (col.cell_kind() == column::kind::int16 && v.integer >= -32767 && v.integer <= 32767)
                    stored[c] = encode_int16(v.integer);
                else if (col.cell_kind() == column::kind::int32 && v.integer != INT32_MIN)
                    stored[c] = encode_int32(v.integer);
                else
                    refuse("The value " + std::to_string(v.integer) + " does not fit " + describe(t, c) + ".");
            } else {
                if (col.cell_kind() != column::kind::string || c >= texts.size())
                    refuse("A string cannot be stored in " + describe(t, c) + ".");
                stored[c] = strings_.add_reference_bytes(encode_code_page(texts[c], strings_.code_page()));
                added.push_back(stored[c]);
            }
        }
        return t.insert(std::move(stored), temporary);
    } catch (...) {
        for (std::uint32_t id : added) release(id);
        throw;
    }
}

std::uint32_t package_database::reference(std::u16string_view text) {
    return strings_.add_reference_bytes(encode_code_page(text, strings_.code_page()));
}

void package_database::release_row_strings(const table& t, std::size_t row) {
    for (std::size_t c = 0; c < t.columns().size(); ++c)
        if (t.columns()[c].cell_kind() == column::kind::string && t.cell(row, c) != null_cell) release(t.cell(row, c));
}

void package_database::delete_rows(table& t, const std::vector<bool>& gone) {
    if (&t == tables_catalog_.get() || &t == columns_catalog_.get())
        refuse("The catalog tables cannot be changed here.");
    std::vector<std::u16string> streams;
    for (std::size_t r = 0; r < t.row_count() && r < gone.size(); ++r) {
        if (!gone[r]) continue;
        release_row_strings(t, r);
        if (auto name = row_stream(t, r)) streams.push_back(std::move(*name));
    }
    t.erase_rows(gone);
    remove_streams(streams);
}

void package_database::create_table(const std::u16string& name, const std::vector<column>& columns) {
    if (name.empty() || name == tables_name || name == columns_name || has_table(name))
        refuse("The database already has a table '" + sys::utf16_to_utf8(name) + "'.");
    if (name.size() > 31) refuse("The table name '" + sys::utf16_to_utf8(name) + "' is longer than 31 characters.");
    // Keys come first, as in every table the installer's own tools write.
    const auto first_other = std::find_if(columns.begin(), columns.end(), [](const column& c) { return !c.is_key(); });
    if (columns.empty() || first_other == columns.begin() ||
        std::any_of(first_other, columns.end(), [](const column& c) { return c.is_key(); }))
        refuse("The primary key columns of table '" + sys::utf16_to_utf8(name) + "' must be its first columns.");
    // A table of temporary columns only is temporary itself; otherwise its
    // key is stored, and so must its key columns be.
    const bool temporary =
        std::all_of(columns.begin(), columns.end(), [](const column& c) { return c.is_temporary(); });
    if (!temporary &&
        std::any_of(columns.begin(), columns.end(), [](const column& c) { return c.is_key() && c.is_temporary(); }))
        refuse("A key column of table '" + sys::utf16_to_utf8(name) +
               "' is TEMPORARY; only a table whose every column is temporary may have a temporary key.");
    // Checked whole before the catalog changes.
    for (const column& c : columns) encode_code_page(c.name, strings_.code_page());
    encode_code_page(name, strings_.code_page());
    tables_catalog_->insert({reference(name)}, temporary);
    // Stored columns are numbered first, so that the stored catalog numbers
    // them 1 to n without gaps; temporary ones follow.
    std::int32_t number = 0;
    for (const bool temporary_columns : {false, true})
        for (const column& c : columns)
            if (c.is_temporary() == temporary_columns)
                columns_catalog_->insert(
                    {reference(name), encode_int16(++number), reference(c.name), encode_int16(c.type)},
                    temporary_columns);
    auto t = std::make_unique<table>(name, columns);
    t->set_dirty(true);
    loaded_.insert_or_assign(name, std::move(t));
    ++schema_generation_;
}

void package_database::drop_table(const std::u16string& name) {
    if (name == tables_name || name == columns_name) refuse("The catalog tables cannot be dropped.");
    table& t = get_table(name);
    std::vector<std::u16string> streams;
    for (std::size_t r = 0; r < t.row_count(); ++r) {
        release_row_strings(t, r);
        if (auto stream = row_stream(t, r)) streams.push_back(std::move(*stream));
    }
    remove_streams(streams);
    const std::uint32_t id = *strings_.find(name);
    std::vector<bool> gone(columns_catalog_->row_count(), false);
    for (std::size_t r = 0; r < columns_catalog_->row_count(); ++r)
        if (columns_catalog_->cell(r, 0) == id) {
            gone[r] = true;
            release_row_strings(*columns_catalog_, r);
        }
    columns_catalog_->erase_rows(gone);
    const std::size_t at = tables_catalog_->find({id});
    release_row_strings(*tables_catalog_, at);
    tables_catalog_->erase(at);
    loaded_.erase(loaded_.find(name));
    ++schema_generation_;
    dropped_streams_.push_back(encode_stream_name(name, true));
}

void package_database::add_column(const std::u16string& name, const column& added) {
    table& t = get_table(name);
    if (&t == tables_catalog_.get() || &t == columns_catalog_.get()) refuse("The catalog tables cannot be altered.");
    if (t.column_index(added.name) >= 0)
        refuse("Table '" + sys::utf16_to_utf8(name) + "' already has a column '" + sys::utf16_to_utf8(added.name) +
               "'.");
    if (t.columns().size() >= 32) refuse("Table '" + sys::utf16_to_utf8(name) + "' already has 32 columns.");
    if (!added.is_temporary() && t.has_temporary_columns())
        refuse("Table '" + sys::utf16_to_utf8(name) +
               "' has temporary columns; a stored column cannot follow them in this session.");
    if (!added.is_nullable() && t.row_count() > 0)
        refuse("A column that cannot be NULL cannot be added to table '" + sys::utf16_to_utf8(name) +
               "', which has rows.");
    encode_code_page(added.name, strings_.code_page());
    column c = added;
    c.type = static_cast<std::uint16_t>(c.type & ~column_type_key);
    columns_catalog_->insert({reference(name), encode_int16(static_cast<std::int32_t>(t.columns().size() + 1)),
                              reference(c.name), encode_int16(c.type)},
                             c.is_temporary());
    t.add_column(std::move(c));
    ++schema_generation_;
}

std::vector<std::uint8_t> package_database::summary_information() const {
    if (!file_->has_stream(summary_stream)) return {};
    return file_->read_stream(summary_stream);
}

bool package_database::has_changes() const {
    if (strings_.dirty() || tables_catalog_->dirty() || columns_catalog_->dirty() || file_->has_changes()) return true;
    return std::any_of(loaded_.begin(), loaded_.end(), [](const auto& t) { return t.second->dirty(); });
}

void package_database::replace(replacement changes) {
    strings_ = std::move(changes.strings);
    // A new pool object: its data stream is written at the next commit.
    stored_data_generation_ = ~std::uint64_t{0};
    tables_catalog_ = std::move(changes.tables_catalog);
    ++schema_generation_;
    columns_catalog_ = std::move(changes.columns_catalog);
    if (changes.counts_exact) counts_exact_ = true;
    for (const auto& name : changes.dropped)
        if (auto it = loaded_.find(name); it != loaded_.end()) loaded_.erase(it);
    for (auto& [name, t] : changes.tables) loaded_.insert_or_assign(name, std::move(t));
    for (auto& [name, data] : changes.streams) {
        if (data)
            file_->write_stream(name, std::move(*data));
        else if (file_->has_stream(name))
            file_->remove_stream(name);
    }
}

void package_database::stage_tables(const std::vector<table*>& tables, int width, bool width_changed) {
    for (table* t : tables) {
        bool has_strings = std::any_of(t->columns().begin(), t->columns().end(),
                                       [](const column& c) { return c.cell_kind() == column::kind::string; });
        if (!t->dirty() && !(width_changed && has_strings)) continue;
        const std::u16string stream = encode_stream_name(t->name(), true);
        std::vector<std::uint8_t> data = t->write_stream(width);  // empty too when every row is temporary
        if (data.empty() && t != tables_catalog_.get()) {
            if (file_->has_stream(stream)) file_->remove_stream(stream);
        } else {
            file_->write_stream(stream, std::move(data));
        }
    }
}

void package_database::commit() {
    if (read_only_)
        throw automation_error(
            hresult_from_win32(ERROR_FUNCTION_FAILED),
            "The database '" + path_.string() + "' was opened read-only; its changes cannot be committed.");
    // Even a commit with nothing to write tells the caller that the file
    // under the database is no longer the one it read.
    file_->check_unchanged();
    if (strings_.dirty()) settle_unreferenced_strings();
    if (!has_changes()) return;

    const int width = strings_.reference_width();
    const bool width_changed = stage_changed_tables();
    // The pool's streams are lent to the commit, not copied: the pool keeps
    // them to patch next time.
    std::vector<compound_file::borrowed_stream> pool_streams;
    const bool temporary = (strings_.dirty() || width_changed) && holds_temporary_data();
    if (temporary) {
        // Strings that only temporary cells use stay out of the file, and the
        // stored counts leave those cells out.
        stage_stored_strings(width);
    } else if (strings_.dirty() || width_changed) {
        const string_pool::saved_streams saved = strings_.save();
        pool_streams.emplace_back(encode_stream_name(u"_StringPool", true),
                                  compound_file::stream_pieces{{saved.pool}, saved.pool.size()});
        // Most commits change only counts, which live in the pool stream.
        if (strings_.data_generation() != stored_data_generation_) {
            compound_file::stream_pieces data{{}, saved.data.size};
            for (std::string_view piece : saved.data.pieces)
                data.parts.emplace_back(reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size());
            // While the file holds the data as loaded, the loaded strings
            // that lead the new data are known to be there already.
            if (stored_data_generation_ == 0) data.unchanged_prefix = strings_.loaded_prefix(saved.data);
            pool_streams.emplace_back(encode_stream_name(u"_StringData", true), std::move(data));
        }
    }
    file_->commit(pool_streams);
    // After a pool of stored strings only, no generation of the whole pool is in the file.
    stored_data_generation_ = temporary ? ~std::uint64_t{0} : strings_.data_generation();
    strings_.mark_saved();
    tables_catalog_->set_dirty(false);
    columns_catalog_->set_dirty(false);
    for (auto& [name, t] : loaded_) t->set_dirty(false);
}

bool package_database::stage_changed_tables() {
    const int width = strings_.reference_width();
    const bool width_changed = width != strings_.stored_reference_width();
    if (width_changed) {
        // Every string reference in every table changes size: read all tables
        // with the old width now, and write them all with the new one.
        for (const std::u16string& name : table_names()) get_table(name);
    }
    for (const std::u16string& stream : dropped_streams_)
        if (file_->has_stream(stream)) file_->remove_stream(stream);
    dropped_streams_.clear();
    std::vector<table*> all{tables_catalog_.get(), columns_catalog_.get()};
    for (auto& [name, t] : loaded_) all.push_back(t.get());
    stage_tables(all, width, width_changed);
    return width_changed;
}

void package_database::stage_stored_strings(int width) {
    string_pool::streams stored = strings_.encode_with_counts(count_references(true), width);
    file_->write_stream(encode_stream_name(u"_StringPool", true), std::move(stored.pool));
    file_->write_stream(encode_stream_name(u"_StringData", true), std::move(stored.data));
}

std::vector<std::uint8_t> package_database::save_to_memory() {
    if (strings_.dirty()) make_counts_exact();
    const bool width_changed = stage_changed_tables();
    if (strings_.dirty() || width_changed || holds_temporary_data()) {
        // Staged like any change. A later commit writes this pair, or a newer
        // pool with its data in full: the staged data is no generation of save().
        stage_stored_strings(strings_.reference_width());
        stored_data_generation_ = ~std::uint64_t{0};
    }
    return file_->save_to_memory();
}

}  // namespace msi
