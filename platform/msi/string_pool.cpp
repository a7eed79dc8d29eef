#include "msi/string_pool.h"

#include "msi/automation_error.h"
#include "msi/code_page.h"

#include <algorithm>
#include <functional>

namespace msi {
namespace {

[[noreturn]] void bad_pool(const std::string& what) {
    throw automation_error(hresult_from_win32(ERROR_INSTALL_PACKAGE_INVALID),
                           "The database's string pool is damaged: " + what + ".");
}

std::uint32_t read_u16(const std::vector<std::uint8_t>& d, std::size_t at) {
    return d[at] | (d[at + 1] << 8);
}
std::uint32_t read_u32(const std::vector<std::uint8_t>& d, std::size_t at) {
    return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (static_cast<std::uint32_t>(d[at + 3]) << 24);
}
void put_u16(std::vector<std::uint8_t>& d, std::uint32_t v) {
    d.push_back(static_cast<std::uint8_t>(v));
    d.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put_u32(std::vector<std::uint8_t>& d, std::uint32_t v) {
    put_u16(d, v & 0xFFFF);
    put_u16(d, v >> 16);
}

constexpr std::uint32_t long_string_bytes = 0x10000;
constexpr std::uint32_t three_byte_flag = 0x80000000u;

}  // namespace

string_pool::string_pool(int code_page) : code_page_(code_page), entries_(1) {
    if (!is_supported_code_page(code_page))
        bad_pool("code page " + std::to_string(code_page) + " is not supported");
}

string_pool string_pool::load(const std::vector<std::uint8_t>& pool, const std::vector<std::uint8_t>& data) {
    if (pool.size() < 4) {
        if (!pool.empty() || !data.empty()) bad_pool("the pool stream is too short");
        return string_pool(0);
    }
    if (pool.size() % 4 != 0) bad_pool("the pool stream's size is not a multiple of 4");
    std::uint32_t header = read_u32(pool, 0);
    int code_page = static_cast<int>(header & ~three_byte_flag);
    if (!is_supported_code_page(code_page))
        bad_pool("code page " + std::to_string(code_page) + " is not supported");
    string_pool result(code_page);
    result.stored_width_ = (header & three_byte_flag) ? 3 : 2;
    result.entries_.reserve(pool.size() / 4);

    std::size_t offset = 0;  // into data
    for (std::size_t at = 4; at < pool.size();) {
        std::uint32_t length = read_u16(pool, at);
        std::uint32_t refs = read_u16(pool, at + 2);
        at += 4;
        if (length == 0 && refs != 0) {
            // A long string: the real length follows in the next slot.
            if (at + 4 > pool.size()) bad_pool("a long string's length is missing");
            length = read_u32(pool, at);
            at += 4;
        }
        auto id = static_cast<std::uint32_t>(result.entries_.size());
        entry e;
        if (length != 0) {
            if (length > data.size() - offset) bad_pool("string " + std::to_string(id) + " reaches past the string data");
            e.bytes.assign(reinterpret_cast<const char*>(data.data()) + offset, length);
            e.refs = refs;
            e.used = true;
            offset += length;
        } else {
            result.free_ids_.push_back(id);
        }
        result.entries_.push_back(std::move(e));
    }
    if (offset != data.size()) bad_pool("the string data is longer than the pool describes");
    std::make_heap(result.free_ids_.begin(), result.free_ids_.end(), std::greater<>());
    return result;
}

string_pool::streams string_pool::save() const {
    std::uint32_t highest = 0;
    for (std::uint32_t id = id_limit(); id-- > 1;) {
        if (entries_[id].used) {
            highest = id;
            break;
        }
    }
    streams out;
    std::uint32_t header = static_cast<std::uint32_t>(code_page_) | (reference_width() == 3 ? three_byte_flag : 0);
    put_u32(out.pool, header);
    std::size_t total = 0;
    for (std::uint32_t id = 1; id <= highest; ++id) total += entries_[id].bytes.size();
    out.data.reserve(total);
    for (std::uint32_t id = 1; id <= highest; ++id) {
        const entry& e = entries_[id];
        if (!e.used) {
            put_u32(out.pool, 0);
            continue;
        }
        std::uint32_t refs = std::min<std::uint32_t>(e.refs, 0xFFFF);
        auto length = static_cast<std::uint32_t>(e.bytes.size());
        if (length >= long_string_bytes) {
            put_u16(out.pool, 0);
            put_u16(out.pool, std::max<std::uint32_t>(refs, 1));  // a zero count would read as a free slot
            put_u32(out.pool, length);
        } else {
            put_u16(out.pool, length);
            put_u16(out.pool, refs);
        }
        out.data.insert(out.data.end(), e.bytes.begin(), e.bytes.end());
    }
    return out;
}

int string_pool::reference_width() const {
    if (stored_width_ == 3) return 3;
    for (std::uint32_t id = id_limit(); id-- > 0xFFFF + 1;)
        if (entries_[id].used) return 3;
    return 2;
}

void string_pool::mark_saved() {
    stored_width_ = reference_width();
    dirty_ = false;
}

bool string_pool::contains(std::uint32_t id) const {
    return id != 0 && id < entries_.size() && entries_[id].used;
}

const std::string& string_pool::bytes(std::uint32_t id) const {
    if (!contains(id))
        throw automation_error(hresult_from_win32(ERROR_INSTALL_PACKAGE_INVALID),
                               "The database refers to string " + std::to_string(id) + ", which its string pool lacks.");
    return entries_[id].bytes;
}

std::u16string string_pool::text(std::uint32_t id) const {
    return decode_code_page(bytes(id), code_page_);
}

std::uint32_t string_pool::reference_count(std::uint32_t id) const {
    return contains(id) ? entries_[id].refs : 0;
}

void string_pool::ensure_index() const {
    if (index_ready_) return;
    index_.reserve(entries_.size());
    for (std::uint32_t id = 1; id < id_limit(); ++id)
        if (entries_[id].used) index_.emplace(entries_[id].bytes, id);  // a duplicate keeps the first id
    index_ready_ = true;
}

std::optional<std::uint32_t> string_pool::find_bytes(std::string_view bytes) const {
    ensure_index();
    auto it = index_.find(std::string(bytes));
    if (it == index_.end()) return std::nullopt;
    return it->second;
}

std::optional<std::uint32_t> string_pool::find(std::u16string_view text) const {
    std::string stored;
    try {
        stored = encode_code_page(text, code_page_);
    } catch (const automation_error&) {
        return std::nullopt;  // text the code page cannot hold is not in the pool
    }
    return find_bytes(stored);
}

std::uint32_t string_pool::add_reference_bytes(std::string_view bytes) {
    if (bytes.empty()) return 0;
    if (auto id = find_bytes(bytes)) {
        add_reference(*id);
        return *id;
    }
    std::uint32_t id;
    if (!free_ids_.empty()) {
        std::pop_heap(free_ids_.begin(), free_ids_.end(), std::greater<>());
        id = free_ids_.back();
        free_ids_.pop_back();
    } else {
        id = id_limit();
        entries_.emplace_back();
    }
    entry& e = entries_[id];
    e.bytes.assign(bytes);
    e.refs = 1;
    e.used = true;
    index_.emplace(e.bytes, id);
    dirty_ = true;
    return id;
}

std::uint32_t string_pool::add_reference(std::u16string_view text) {
    return add_reference_bytes(encode_code_page(text, code_page_));
}

void string_pool::add_reference(std::uint32_t id) {
    if (id == 0) return;
    if (!contains(id))
        throw automation_error(hresult_from_win32(ERROR_FUNCTION_FAILED),
                               "String " + std::to_string(id) + " is not in the string pool.");
    ++entries_[id].refs;
    dirty_ = true;
}

void string_pool::release(std::uint32_t id) {
    if (!contains(id)) return;
    entry& e = entries_[id];
    dirty_ = true;
    if (e.refs > 1) {
        --e.refs;
        return;
    }
    free_id(id);
}

void string_pool::set_reference_counts(const std::vector<std::uint32_t>& counts) {
    for (std::uint32_t id = 1; id < id_limit(); ++id) {
        entry& e = entries_[id];
        if (!e.used) continue;
        const std::uint32_t count = id < counts.size() ? counts[id] : 0;
        if (count == e.refs) continue;
        dirty_ = true;
        if (count == 0) free_id(id);
        else e.refs = count;
    }
}

void string_pool::free_id(std::uint32_t id) {
    entry& e = entries_[id];
    // The last cell let go: the id becomes free for the next new string.
    if (index_ready_) {
        auto it = index_.find(e.bytes);
        if (it != index_.end() && it->second == id) index_.erase(it);
    }
    e = entry{};
    free_ids_.push_back(id);
    std::push_heap(free_ids_.begin(), free_ids_.end(), std::greater<>());
}

}  // namespace msi
