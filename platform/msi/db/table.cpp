#include "msi/db/table.h"

#include "msi/automation_error.h"
#include "msi/db/code_page.h"
#include "system/text_conversion.h"

#include <algorithm>
#include <stdexcept>

namespace msi {

column::kind column::cell_kind() const {
    if ((type & ~(column_type_nullable | column_type_temporary)) == (column_type_string | column_type_valid))
        return kind::binary;
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

table::table(std::u16string name, std::vector<column> columns) : name_(std::move(name)), columns_(std::move(columns)) {
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].is_key()) key_columns_.push_back(i);
}

int table::column_index(std::u16string_view name) const {
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].name == name) return static_cast<int>(i);
    return -1;
}

std::size_t table::key_count() const { return key_columns_.size(); }

table::row table::get_row(std::size_t index) const {
    if (index >= row_count_) throw std::out_of_range("row index");
    auto first = cells_.begin() + static_cast<std::ptrdiff_t>(index * columns_.size());
    return row(first, first + static_cast<std::ptrdiff_t>(columns_.size()));
}

bool table::key_less(const std::uint32_t* a, const std::uint32_t* b) const {
    for (std::size_t k : key_columns_)
        if (a[k] != b[k]) return a[k] < b[k];
    return false;
}

std::size_t table::lower_bound(const std::uint32_t* values) const {
    std::size_t first = 0, count = row_count_;
    const std::size_t n = columns_.size();
    while (count > 0) {
        std::size_t step = count / 2, mid = first + step;
        if (key_less(cells_.data() + mid * n, values)) {
            first = mid + 1;
            count -= step + 1;
        } else {
            count = step;
        }
    }
    return first;
}

void table::sort_rows() {
    const std::size_t n = columns_.size();
    if (key_columns_.empty() || row_count_ < 2) return;
    std::vector<std::size_t> order(row_count_);
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    const std::uint32_t* base = cells_.data();
    auto less = [&](std::size_t a, std::size_t b) { return key_less(base + a * n, base + b * n); };
    if (std::is_sorted(order.begin(), order.end(), less)) return;
    std::stable_sort(order.begin(), order.end(), less);
    std::vector<std::uint32_t> sorted(cells_.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        std::copy_n(cells_.begin() + static_cast<std::ptrdiff_t>(order[i] * n), n,
                    sorted.begin() + static_cast<std::ptrdiff_t>(i * n));
    cells_.swap(sorted);
}

void table::add_column(column added) {
    const std::size_t n = columns_.size();
    std::vector<std::uint32_t> widened((n + 1) * row_count_, null_cell);
    for (std::size_t r = 0; r < row_count_; ++r)
        std::copy_n(cells_.begin() + static_cast<std::ptrdiff_t>(r * n), n,
                    widened.begin() + static_cast<std::ptrdiff_t>(r * (n + 1)));
    cells_.swap(widened);
    added.type = static_cast<std::uint16_t>(added.type & ~column_type_key);
    columns_.push_back(std::move(added));
    dirty_ = true;
}

bool table::has_key(const row& values, std::size_t except) const {
    if (key_columns_.empty() || values.size() != columns_.size()) return false;
    const std::size_t n = columns_.size();
    for (std::size_t r = lower_bound(values.data()); r < row_count_; ++r) {
        if (key_less(values.data(), cells_.data() + r * n)) break;
        if (r != except) return true;
    }
    return false;
}

std::size_t table::find(const row& values) const {
    if (key_columns_.empty() || values.size() != columns_.size()) return npos;
    const std::size_t at = lower_bound(values.data());
    if (at < row_count_ && !key_less(values.data(), cells_.data() + at * columns_.size())) return at;
    return npos;
}

void table::set_cell(std::size_t row_index, std::size_t column_index, std::uint32_t stored) {
    if (row_index >= row_count_ || column_index >= columns_.size()) throw std::out_of_range("cell index");
    std::uint32_t* cells = cells_.data() + row_index * columns_.size();
    const bool rekey = columns_[column_index].is_key() && is_temporary(row_index);
    if (rekey) temporary_keys_.erase(key_of(cells));
    cells[column_index] = stored;
    if (rekey) temporary_keys_.insert(key_of(cells));
    dirty_ = true;
    if (columns_[column_index].is_key()) sort_rows();
}

table::row table::key_of(const std::uint32_t* values) const {
    row key;
    key.reserve(key_columns_.size());
    for (std::size_t k : key_columns_) key.push_back(values[k]);
    return key;
}

bool table::is_temporary(std::size_t row_index) const {
    return !temporary_keys_.empty() && row_index < row_count_ &&
           temporary_keys_.count(key_of(cells_.data() + row_index * columns_.size())) != 0;
}

bool table::has_temporary_columns() const {
    return std::any_of(columns_.begin(), columns_.end(), [](const column& c) { return c.is_temporary(); });
}

table table::stored_part() const {
    std::vector<std::size_t> kept;
    std::vector<column> columns;
    for (std::size_t c = 0; c < columns_.size(); ++c)
        if (!columns_[c].is_temporary()) {
            kept.push_back(c);
            columns.push_back(columns_[c]);
        }
    table stored(name_, std::move(columns));
    if (kept.empty()) return stored;
    for (std::size_t r = 0; r < row_count_; ++r) {
        if (is_temporary(r)) continue;
        for (std::size_t c : kept) stored.cells_.push_back(cells_[r * columns_.size() + c]);
        ++stored.row_count_;
    }
    stored.dirty_ = dirty_;
    return stored;
}

void table::forget_temporary(const std::vector<bool>& gone) {
    if (temporary_keys_.empty()) return;
    for (std::size_t r = 0; r < row_count_ && r < gone.size(); ++r)
        if (gone[r]) temporary_keys_.erase(key_of(cells_.data() + r * columns_.size()));
}

std::size_t table::insert(row values, bool temporary) {
    if (temporary && key_columns_.empty())
        throw automation_error(
            hresult_from_win32(ERROR_FUNCTION_FAILED),
            "Table '" + sys::utf16_to_utf8(name_) + "' has no primary key, so it cannot hold temporary rows.");
    if (values.size() != columns_.size())
        throw automation_error(hresult_from_win32(ERROR_FUNCTION_FAILED),
                               "The row does not have one value per column.");
    // The first row whose key is not smaller: an equal key is a duplicate.
    // Rows often come in key order (new strings take the highest ids): a
    // key past the last row's goes at the end without a search.
    const std::size_t n = columns_.size();
    const bool past_last = row_count_ > 0 && key_less(cells_.data() + (row_count_ - 1) * n, values.data());
    std::size_t at = past_last ? row_count_ : lower_bound(values.data());
    if (!key_columns_.empty() && at < row_count_ && !key_less(values.data(), cells_.data() + at * n))
        throw automation_error(hresult_from_win32(ERROR_FUNCTION_FAILED),
                               "Table '" + sys::utf16_to_utf8(name_) + "' already has a row with these key values.");
    // After every row with an equal or smaller key (every row, without a key).
    while (at < row_count_ && !key_less(values.data(), cells_.data() + at * n)) ++at;
    if (temporary) temporary_keys_.insert(key_of(values.data()));
    cells_.insert(cells_.begin() + static_cast<std::ptrdiff_t>(at * n), values.begin(), values.end());
    ++row_count_;
    dirty_ = true;
    return at;
}

void table::erase(std::size_t row_index) {
    if (row_index >= row_count_) throw std::out_of_range("row index");
    if (is_temporary(row_index)) temporary_keys_.erase(key_of(cells_.data() + row_index * columns_.size()));
    const auto first = cells_.begin() + static_cast<std::ptrdiff_t>(row_index * columns_.size());
    cells_.erase(first, first + static_cast<std::ptrdiff_t>(columns_.size()));
    --row_count_;
    dirty_ = true;
}

void table::erase_rows(const std::vector<bool>& gone) {
    forget_temporary(gone);
    const std::size_t n = columns_.size();
    std::size_t kept = 0;
    for (std::size_t r = 0; r < row_count_; ++r) {
        if (r < gone.size() && gone[r]) continue;
        if (kept != r)
            std::copy_n(cells_.begin() + static_cast<std::ptrdiff_t>(r * n), n,
                        cells_.begin() + static_cast<std::ptrdiff_t>(kept * n));
        ++kept;
    }
    if (kept == row_count_) return;
    cells_.resize(kept * n);
    row_count_ = kept;
    dirty_ = true;
}

void table::add_rows(std::vector<row> rows) {
    // Each insert at its place moves the rows after it: fine for a few.
    constexpr std::size_t one_by_one = 16;
    if (rows.size() <= one_by_one) {
        for (row& r : rows) insert(std::move(r));
        return;
    }
    const std::size_t n = columns_.size();
    for (const row& r : rows) {
        if (r.size() != n)
            throw automation_error(hresult_from_win32(ERROR_FUNCTION_FAILED),
                                   "The row does not have one value per column.");
        cells_.insert(cells_.end(), r.begin(), r.end());
    }
    row_count_ += rows.size();
    dirty_ = true;
    sort_rows();
}

std::size_t table::row_width(int string_reference_width) const {
    std::size_t width = 0;
    for (const column& c : columns_) width += static_cast<std::size_t>(c.width(string_reference_width));
    return width;
}

namespace {

// One column of a column-major table stream: `count` little-endian values of
// W bytes each, stored `stride` cells apart.
template <int W>
void read_column(const std::uint8_t* from, std::size_t count, std::uint32_t* to, std::size_t stride) {
    for (std::size_t r = 0; r < count; ++r, from += W, to += stride) {
        std::uint32_t v = 0;
        for (int k = W; k-- > 0;) v = (v << 8) | from[k];
        *to = v;
    }
}

}  // namespace

void table::check_whole_rows(std::u16string_view table_name, std::uint64_t size, std::size_t row_width) {
    if (row_width == 0 || size % row_width != 0)
        throw automation_error(hresult_from_win32(ERROR_INSTALL_PACKAGE_INVALID),
                               "Table '" + sys::utf16_to_utf8(table_name) + "' is damaged: its stream of " +
                                   std::to_string(size) + " bytes is not a whole number of " +
                                   std::to_string(row_width) + "-byte rows.");
}

void table::read_stream(const std::vector<std::uint8_t>& data, int string_reference_width) {
    cells_.clear();
    row_count_ = 0;
    temporary_keys_.clear();
    std::size_t width = row_width(string_reference_width);
    if (data.empty()) return;
    check_whole_rows(name_, data.size(), width);
    const std::size_t count = data.size() / width, n = columns_.size();
    cells_.assign(count * n, 0);
    row_count_ = count;
    std::size_t base = 0;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        const int w = columns_[c].width(string_reference_width);
        const std::uint8_t* from = data.data() + base;
        std::uint32_t* to = cells_.data() + c;
        switch (w) {
        case 2: read_column<2>(from, count, to, n); break;
        case 3: read_column<3>(from, count, to, n); break;
        default: read_column<4>(from, count, to, n); break;
        }
        base += count * static_cast<std::size_t>(w);
    }
    // Kept in stored key order; a table written out of order is repaired when it is next saved.
    sort_rows();
    dirty_ = false;
}

std::vector<std::uint8_t> table::write_stream(int string_reference_width) const {
    if (has_temporary_rows() || has_temporary_columns()) return stored_part().write_stream(string_reference_width);
    std::vector<std::uint8_t> data;
    data.reserve(row_count_ * row_width(string_reference_width));
    const std::size_t n = columns_.size();
    for (std::size_t c = 0; c < n; ++c) {
        int w = columns_[c].width(string_reference_width);
        for (std::size_t r = 0; r < row_count_; ++r) {
            std::uint32_t v = cells_[r * n + c];
            for (int k = 0; k < w; ++k) data.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
        }
    }
    return data;
}

}  // namespace msi
