#include "msi/transform/reader.h"

#include "msi/automation_error.h"
#include "msi/db/code_page.h"
#include "msi/db/stream_name.h"
#include "msi/transform/transform_file.h"
#include "system/text_conversion.h"

namespace msi {

void transform_damaged(const std::filesystem::path& path, const std::string& what) {
    throw automation_error(hresult_from_win32(ERROR_INSTALL_TRANSFORM_FAILURE),
                           "The transform '" + path.string() + "' is damaged: " + what);
}

transform_reader::transform_reader(const std::filesystem::path& path) : path_(path) {
    try {
        file_ = compound_file::open(path);
    } catch (const automation_error& e) {
        throw automation_error(e.code(), std::string("Cannot read the transform ") + e.what());
    }
    if (file_->root_class() != transform_class_id)
        throw automation_error(hresult_from_win32(ERROR_INSTALL_TRANSFORM_FAILURE),
                               "'" + path.string() + "' is not a transform.");
    const std::u16string pool_name = encode_stream_name(u"_StringPool", true);
    const std::u16string data_name = encode_stream_name(u"_StringData", true);
    if (!file_->has_stream(pool_name)) transform_damaged(path, "it has no string pool.");
    try {
        std::vector<std::uint8_t> data;
        if (file_->has_stream(data_name)) data = read(data_name);
        strings_ = string_pool::load(read(pool_name), std::move(data));
    } catch (const automation_error& e) {
        transform_damaged(path, e.what());
    }
    for (const std::u16string& stored : file_->stream_names()) {
        bool is_table = false;
        std::u16string name = decode_stream_name(stored, &is_table);
        if (!is_table || name == u"_StringPool" || name == u"_StringData") continue;
        tables_.push_back(std::move(name));
    }
}

bool transform_reader::has_records(std::u16string_view table) const {
    return file_->has_stream(encode_stream_name(table, true));
}

std::uint64_t transform_reader::records_size(std::u16string_view table) const {
    const auto name = encode_stream_name(table, true);
    return file_->has_stream(name) ? file_->stream_size(name) : 0;
}

std::vector<std::uint8_t> transform_reader::read(const std::u16string& stored_name) const {
    try {
        return file_->read_stream(stored_name);
    } catch (const automation_error& e) {
        transform_damaged(path_, e.what());
    }
}

transform_reader::cursor transform_reader::records(std::u16string_view table,
                                                   const std::vector<column>& columns) const {
    std::vector<std::uint8_t> data;
    const auto name = encode_stream_name(table, true);
    if (file_->has_stream(name)) data = read(name);
    return cursor(*this, std::u16string(table), columns, std::move(data));
}

std::u16string transform_reader::text(std::uint32_t id) const {
    if (id == 0) return {};
    return strings_.text(id);
}

std::optional<std::vector<std::uint8_t>> transform_reader::binary_data(const std::u16string& logical_name) const {
    const auto name = encode_stream_name(logical_name, false);
    if (!file_->has_stream(name)) return std::nullopt;
    return read(name);
}

summary_information transform_reader::summary() const {
    if (!file_->has_stream(summary_stream_name)) return {};
    const auto bytes = read(summary_stream_name);
    try {
        return summary_information::parse(bytes);
    } catch (const automation_error& e) {
        transform_damaged(path_, std::string("its summary information: ") + e.what());
    }
}

transform_reader::cursor::cursor(const transform_reader& reader, std::u16string table, std::vector<column> columns,
                                 std::vector<std::uint8_t> data)
    : reader_(reader), table_(std::move(table)), columns_(std::move(columns)), data_(std::move(data)) {}

void transform_reader::cursor::damaged(const std::string& what) const {
    transform_damaged(reader_.path_, "the record at byte " + std::to_string(at_) + " of table '" +
                                         sys::utf16_to_utf8(table_) + "' " + what);
}

bool transform_reader::cursor::next(transform_record& record) {
    if (at_ >= data_.size()) return false;
    if (data_.size() - at_ < 2) damaged("runs past the end of its stream.");
    const std::uint16_t mask = static_cast<std::uint16_t>(data_[at_] | data_[at_ + 1] << 8);
    const std::size_t n = columns_.size();
    record.mask = mask;
    record.present.assign(n, false);
    record.cells.assign(n, 0);
    if (mask == 0) {
        record.type = transform_record::kind::remove;
        for (std::size_t c = 0; c < n; ++c) record.present[c] = columns_[c].is_key();
    } else if (mask & 1) {
        record.type = transform_record::kind::add;
        const std::size_t count = mask >> 8;
        if (count == 0) damaged("adds a row of no columns.");
        if (count > n)
            damaged("adds a row of " + std::to_string(count) + " columns to a table of " + std::to_string(n) + ".");
        for (std::size_t c = 0; c < count; ++c) record.present[c] = true;
    } else {
        record.type = transform_record::kind::update;
        for (std::size_t bit = 1; bit < 16; ++bit)
            if ((mask >> bit & 1) && bit >= n)
                damaged("names column " + std::to_string(bit + 1) + ", which the table (of " + std::to_string(n) +
                        " columns) lacks.");
        for (std::size_t c = 0; c < n; ++c) record.present[c] = columns_[c].is_key() || (c < 16 && (mask >> c & 1));
    }
    std::size_t size = 2;
    const int width = reader_.strings_.stored_reference_width();
    for (std::size_t c = 0; c < n; ++c)
        if (record.present[c]) size += static_cast<std::size_t>(columns_[c].width(width));
    if (size > data_.size() - at_) damaged("runs past the end of its stream.");
    std::size_t p = at_ + 2;
    for (std::size_t c = 0; c < n; ++c) {
        if (!record.present[c]) continue;
        const int w = columns_[c].width(width);
        std::uint32_t v = 0;
        for (int k = w; k-- > 0;) v = v << 8 | data_[p + static_cast<std::size_t>(k)];
        p += static_cast<std::size_t>(w);
        if (columns_[c].cell_kind() == column::kind::string && v != 0 && !reader_.strings_.contains(v))
            damaged("refers to string " + std::to_string(v) + ", which the transform's string pool lacks.");
        record.cells[c] = v;
    }
    at_ = p;
    return true;
}

}  // namespace msi
