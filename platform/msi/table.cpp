#include "msi/table.h"

#include "msi/automation_error.h"
#include "msi/code_page.h"

#include <algorithm>

namespace msi {

column::kind column::cell_kind() const {
    if ((type & ~column_type_nullable) == (column_type_string | column_type_valid)) return kind::binary;
    if (type & column_type_string) return kind::string;
    return (type & column_type_size) <= 2 ? kind::int16 : kind::int32;
}

int column::width(int string_reference_width) const {
    switch (cell_kind()) {
        case kind::int16: return 2;
        case kind::int32: return 4;
        case kind::string: return string_reference_width;
        case kind::binary: return 2;  // a flag; the data lives in its own stream
    }
    return 2;
}

std::uint32_t encode_int16(std::int32_t value) { return static_cast<std::uint32_t>(value + 0x8000) & 0xFFFF; }
std::uint32_t encode_int32(std::int32_t value) { return static_cast<std::uint32_t>(value) ^ 0x80000000u; }
std::int32_t decode_int16(std::uint32_t stored) { return static_cast<std::int32_t>(stored) - 0x8000; }
std::int32_t decode_int32(std::uint32_t stored) { return static_cast<std::int32_t>(stored ^ 0x80000000u); }

table::table(std::u16string name, std::vector<column> columns) : name_(std::move(name)), columns_(std::move(columns)) {}

int table::column_index(std::u16string_view name) const {
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].name == name) return static_cast<int>(i);
    return -1;
}

std::size_t table::key_count() const {
    return static_cast<std::size_t>(std::count_if(columns_.begin(), columns_.end(), [](const column& c) { return c.is_key(); }));
}

bool table::key_less(const row& a, const row& b) const {
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (!columns_[i].is_key()) continue;
        if (a[i] != b[i]) return a[i] < b[i];
    }
    return false;
}

void table::sort_rows() {
    std::stable_sort(rows_.begin(), rows_.end(), [this](const row& a, const row& b) { return key_less(a, b); });
}

bool table::has_key(const row& values, std::size_t except) const {
    if (key_count() == 0) return false;
    auto [first, last] = std::equal_range(rows_.begin(), rows_.end(), values,
                                          [this](const row& a, const row& b) { return key_less(a, b); });
    for (auto it = first; it != last; ++it)
        if (static_cast<std::size_t>(it - rows_.begin()) != except) return true;
    return false;
}

void table::set_cell(std::size_t row_index, std::size_t column_index, std::uint32_t stored) {
    rows_.at(row_index).at(column_index) = stored;
    dirty_ = true;
    if (columns_[column_index].is_key()) sort_rows();
}

std::size_t table::insert(row values) {
    if (values.size() != columns_.size())
        throw automation_error(hresult_from_win32(ERROR_FUNCTION_FAILED), "The row does not have one value per column.");
    if (has_key(values))
        throw automation_error(hresult_from_win32(ERROR_FUNCTION_FAILED),
                               "Table '" + to_utf8(name_) + "' already has a row with these key values.");
    auto at = std::upper_bound(rows_.begin(), rows_.end(), values,
                               [this](const row& a, const row& b) { return key_less(a, b); });
    auto index = static_cast<std::size_t>(at - rows_.begin());
    rows_.insert(at, std::move(values));
    dirty_ = true;
    return index;
}

std::size_t table::row_width(int string_reference_width) const {
    std::size_t width = 0;
    for (const column& c : columns_) width += static_cast<std::size_t>(c.width(string_reference_width));
    return width;
}

void table::read_stream(const std::vector<std::uint8_t>& data, int string_reference_width) {
    rows_.clear();
    std::size_t width = row_width(string_reference_width);
    if (data.empty()) return;
    if (width == 0 || data.size() % width != 0)
        throw automation_error(hresult_from_win32(ERROR_INSTALL_PACKAGE_INVALID),
                               "Table '" + to_utf8(name_) + "' is damaged: its stream of " + std::to_string(data.size()) +
                                   " bytes is not a whole number of " + std::to_string(width) + "-byte rows.");
    std::size_t count = data.size() / width;
    rows_.assign(count, row(columns_.size()));
    std::size_t base = 0;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        int w = columns_[c].width(string_reference_width);
        for (std::size_t r = 0; r < count; ++r) {
            const std::uint8_t* p = data.data() + base + r * static_cast<std::size_t>(w);
            std::uint32_t v = 0;
            for (int k = w; k-- > 0;) v = (v << 8) | p[k];
            rows_[r][c] = v;
        }
        base += count * static_cast<std::size_t>(w);
    }
    // Kept in stored key order; a table written out of order is repaired when it is next saved.
    sort_rows();
    dirty_ = false;
}

std::vector<std::uint8_t> table::write_stream(int string_reference_width) const {
    std::vector<std::uint8_t> data;
    data.reserve(rows_.size() * row_width(string_reference_width));
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        int w = columns_[c].width(string_reference_width);
        for (const row& r : rows_) {
            std::uint32_t v = r[c];
            for (int k = 0; k < w; ++k) data.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
        }
    }
    return data;
}

}  // namespace msi
