#include "msi/db/string_pool.h"

#include "msi/automation_error.h"
#include "msi/db/code_page.h"
#include "system/prefault.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace msi {
namespace {

[[noreturn]] void bad_pool(const std::string& what) {
    throw automation_error(hresult_from_win32(ERROR_INSTALL_PACKAGE_INVALID),
                           "The database's string pool is damaged: " + what + ".");
}

std::uint32_t read_u16(const std::uint8_t* d) { return d[0] | (d[1] << 8); }
std::uint32_t read_u32(const std::uint8_t* d) {
    return d[0] | (d[1] << 8) | (d[2] << 16) | (static_cast<std::uint32_t>(d[3]) << 24);
}
void write_u16(std::uint8_t* d, std::uint32_t v) {
    d[0] = static_cast<std::uint8_t>(v);
    d[1] = static_cast<std::uint8_t>(v >> 8);
}
void write_u32(std::uint8_t* d, std::uint32_t v) {
    write_u16(d, v & 0xFFFF);
    write_u16(d + 2, v >> 16);
}

constexpr std::uint32_t long_string_bytes = 0x10000;
constexpr std::uint32_t three_byte_flag = 0x80000000u;
constexpr std::size_t arena_chunk_bytes = 64 * 1024;

std::uint64_t hash_bytes(std::string_view bytes) { return std::hash<std::string_view>{}(bytes); }

// A string's slot: its length and count, or for a long string a zero length
// with the count and the real length in a second slot. Free ids are all zero.
std::size_t slot_bytes(bool used, std::uint32_t length) { return used && length >= long_string_bytes ? 8 : 4; }
inline void write_slot(std::uint8_t* at, bool used, std::uint32_t length, std::uint32_t refs) {
    if (!used) {
        write_u32(at, 0);
        return;
    }
    refs = std::min<std::uint32_t>(refs, 0xFFFF);
    if (length >= long_string_bytes) {
        write_u16(at, 0);
        write_u16(at + 2, std::max<std::uint32_t>(refs, 1));  // a zero count would read as a free slot
        write_u32(at + 4, length);
    } else {
        write_u16(at, length);
        write_u16(at + 2, refs);
    }
}

// A stored slot as read: a long string's takes 8 bytes, and the caller has
// checked that they are there.
struct read_slot {
    std::uint32_t length;
    std::uint32_t refs;
    std::size_t size;
};
// A zero length with a count: the real length follows in the next slot.
inline bool long_slot(const std::uint8_t* at) { return read_u16(at) == 0 && read_u16(at + 2) != 0; }
inline read_slot slot_from(const std::uint8_t* at) {
    if (long_slot(at)) return {read_u32(at + 4), read_u16(at + 2), 8};
    return {read_u16(at), read_u16(at + 2), 4};
}

}  // namespace

// ---- storage of added strings

const char* string_pool::arena::store(std::string_view bytes) {
    if (bytes.size() > arena_chunk_bytes / 4) {
        // A big string gets a block of its own and leaves the open chunk open.
        big_.push_back(std::make_unique_for_overwrite<char[]>(bytes.size()));
        std::memcpy(big_.back().get(), bytes.data(), bytes.size());
        return big_.back().get();
    }
    if (chunks_.empty() || bytes.size() > arena_chunk_bytes - used_) {
        chunks_.push_back(std::make_unique_for_overwrite<char[]>(arena_chunk_bytes));
        used_ = 0;
    }
    char* at = chunks_.back().get() + used_;
    std::memcpy(at, bytes.data(), bytes.size());
    used_ += bytes.size();
    return at;
}

// ---- text index

std::uint32_t string_pool::text_index::tag(std::uint64_t hash) {
    return static_cast<std::uint32_t>(hash >> 56) << id_bits;
}

void string_pool::text_index::reserve(std::size_t count, const string_pool& pool) {
    std::size_t size = 16;
    while (3 * size < 4 * count) size *= 2;
    if (size <= slots_.size()) return;
    std::vector<std::uint32_t> old = std::move(slots_);
    slots_ = {};
    sys::reserve_prefaulted(slots_, size);
    slots_.assign(size, 0);
    const std::size_t mask = size - 1;
    // Slots keep only part of the hash: the home of each is worked out again.
    for (const std::uint32_t s : old) {
        if (s == 0) continue;
        std::size_t i = hash_bytes(pool.entry_of(s & id_mask).view()) & mask;
        while (slots_[i] != 0) i = (i + 1) & mask;
        slots_[i] = s;
    }
}

std::optional<std::uint32_t> string_pool::text_index::find(std::string_view bytes, std::uint64_t hash,
                                                           const string_pool& pool) const {
    if (!slots_.empty()) {
        const std::size_t mask = slots_.size() - 1;
        const std::uint32_t t = tag(hash);
        for (std::size_t i = hash & mask; slots_[i] != 0; i = (i + 1) & mask)
            if ((slots_[i] & ~id_mask) == t && pool.entry_of(slots_[i] & id_mask).view() == bytes)
                return slots_[i] & id_mask;
    }
    if (const auto it = large_ids_.find(bytes); it != large_ids_.end()) return it->second;
    return std::nullopt;
}

void string_pool::text_index::insert(std::uint32_t id, std::uint64_t hash, const string_pool& pool) {
    const std::string_view bytes = pool.entry_of(id).view();
    if (id > id_mask) {
        if (!find(bytes, hash, pool)) large_ids_.emplace(bytes, id);
        return;
    }
    if (4 * (count_ + 1) > 3 * slots_.size()) reserve(count_ + 1, pool);
    const std::size_t mask = slots_.size() - 1;
    const std::uint32_t t = tag(hash);
    std::size_t i = hash & mask;
    for (; slots_[i] != 0; i = (i + 1) & mask)
        if ((slots_[i] & ~id_mask) == t && pool.entry_of(slots_[i] & id_mask).view() == bytes)
            return;  // a duplicate keeps the first id
    slots_[i] = t | id;
    ++count_;
}

void string_pool::text_index::erase(std::uint32_t id, std::uint64_t hash, const string_pool& pool) {
    if (id > id_mask) {
        if (const auto it = large_ids_.find(pool.entry_of(id).view()); it != large_ids_.end() && it->second == id)
            large_ids_.erase(it);
        return;
    }
    if (slots_.empty()) return;
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    while ((slots_[i] & id_mask) != id) {
        if (slots_[i] == 0) return;  // not indexed: a duplicate of an earlier id
        i = (i + 1) & mask;
    }
    // Close the gap: move back each later slot of the run whose home is not
    // between the gap and itself, so every probe still reaches its slot.
    for (std::size_t j = (i + 1) & mask; slots_[j] != 0; j = (j + 1) & mask) {
        const std::size_t home = hash_bytes(pool.entry_of(slots_[j] & id_mask).view()) & mask;
        const bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
        if (stays) continue;
        slots_[i] = slots_[j];
        i = j;
    }
    slots_[i] = 0;
    --count_;
}

// ---- loading

string_pool::string_pool(int code_page) : code_page_(code_page) {
    if (!is_supported_code_page(code_page)) unsupported_code_page(code_page);
    blocks_.push_back(std::make_unique<entry[]>(block_ids));
}

string_pool string_pool::load(std::vector<std::uint8_t> pool, std::vector<std::uint8_t> data) {
    if (pool.size() < 4) {
        if (!pool.empty() || !data.empty()) bad_pool("the pool stream is too short");
        return string_pool(0);
    }
    if (pool.size() % 4 != 0) bad_pool("the pool stream's size is not a multiple of 4");
    std::uint32_t header = read_u32(pool.data());
    int code_page = static_cast<int>(header & ~three_byte_flag);
    if (!is_supported_code_page(code_page)) unsupported_code_page(code_page);
    string_pool result(code_page);
    result.stored_width_ = (header & three_byte_flag) ? 3 : 2;
    result.data_ = std::move(data);
    result.read_slots(std::move(pool));
    return result;
}

// Checks each id's slot of the pool stream against the data and notes where
// each block of ids begins; the entries are read when first needed.
void string_pool::read_slots(std::vector<std::uint8_t> pool) {
    // The stored pool stream is what save() would write for these ids, and
    // so the first image, unless it says a short string the long way.
    image& stored_image = saved_;
    bool as_saved = true;
    std::size_t used_end = 4;  // where the slots of the trailing free ids begin
    std::size_t offset = 0;    // into the data
    loaded_blocks_.assign(1, loaded_block{});
    std::uint32_t id = 1;
    for (std::size_t at = 4; at < pool.size(); ++id) {
        if ((id & in_block) == 0) loaded_blocks_.push_back({at, offset, false});
        if (long_slot(&pool[at]) && at + 8 > pool.size()) bad_pool("a long string's length is missing");
        const read_slot slot = slot_from(&pool[at]);
        at += slot.size;
        if (slot.size == 8) {
            loaded_blocks_.back().long_slots = true;
            if (slot.length < long_string_bytes)
                as_saved = false;
            else
                stored_image.long_ids.push_back(id);
        }
        if (slot.length != 0) {
            if (slot.length > data_.size() - offset)
                bad_pool("string " + std::to_string(id) + " reaches past the string data");
            if (slot.refs == 0) zero_counts_.push_back(id);
            offset += slot.length;
            stored_image.highest = id;
            used_end = at;
        } else {
            free_ids_.push_back(id);
        }
    }
    if (offset != data_.size()) bad_pool("the string data is longer than the pool describes");
    id_limit_ = loaded_limit_ = id;
    blocks_.clear();
    blocks_.resize(loaded_blocks_.size());
    // The free ids went in ascending, which is already a smallest-first heap.
    if (as_saved) {
        pool.resize(used_end);
        stored_image.pool = std::move(pool);
        stored_image.valid = true;
    } else {
        // The first save encodes the image afresh, so every entry is read now.
        for (std::size_t block = 0; block < blocks_.size(); ++block) read_block(block, pool, stored_image.highest);
        stored_image = image{};
    }
}

template <typename Visit>
void string_pool::walk_loaded_block(std::size_t block, const std::vector<std::uint8_t>& slots, std::uint32_t highest,
                                    Visit&& visit) const {
    const loaded_block& from = loaded_blocks_[block];
    const auto first = static_cast<std::uint32_t>(block << block_bits);
    const std::uint32_t end = std::min({first + block_ids, loaded_limit_, highest + 1});
    std::size_t at = from.slot_at + (block == 0 ? 4 : 0);
    std::size_t offset = from.data_at;
    for (std::uint32_t id = std::max(first, 1u); id < end; ++id) {
        const read_slot slot = slot_from(&slots[at]);
        at += slot.size;
        if (slot.length == 0) continue;
        if (visit(id, slot, offset)) return;
        offset += slot.length;
    }
}

void string_pool::read_block(std::size_t block, const std::vector<std::uint8_t>& slots, std::uint32_t highest) const {
    auto entries = std::make_unique<entry[]>(block_ids);
    const char* text = reinterpret_cast<const char*>(data_.data());
    walk_loaded_block(block, slots, highest, [&](std::uint32_t id, const read_slot& slot, std::size_t offset) {
        entry& e = entries[id & in_block];
        e.text = text + offset;
        e.length = slot.length;
        e.refs = slot.refs;
        e.used = true;
        return false;
    });
    blocks_[block] = std::move(entries);
}

void string_pool::read_all_blocks() const {
    for (std::size_t block = 0; block < blocks_.size(); ++block)
        if (!blocks_[block]) read_block(block, saved_.pool, saved_.highest);
}

string_pool::slot_state string_pool::state_of(std::uint32_t id) const {
    const std::size_t block = id >> block_bits;
    if (blocks_[block] || loaded_blocks_[block].long_slots) {
        const entry& e = entry_of(id);
        return {e.used != 0, e.length, e.refs};
    }
    // An unread block of 4-byte slots: the id's slot is read in place.
    if (id >= loaded_limit_ || id > saved_.highest) return {};
    const std::uint8_t* at = &saved_.pool[loaded_blocks_[block].slot_at + 4 * std::size_t(id & in_block)];
    return {read_u16(at) != 0, read_u16(at), read_u16(at + 2)};
}

std::uint32_t string_pool::append_id() {
    if ((id_limit_ & in_block) == 0) blocks_.push_back(std::make_unique<entry[]>(block_ids));
    return id_limit_++;
}

// ---- saving

std::uint32_t string_pool::highest_used() const {
    for (std::uint32_t id = id_limit(); id-- > 1;)
        if (state_of(id).used) return id;
    return 0;
}

std::uint32_t string_pool::header() const {
    return static_cast<std::uint32_t>(code_page_) | (reference_width() == 3 ? three_byte_flag : 0);
}

void string_pool::encode_into(image& to) const {
    const std::uint32_t highest = highest_used();
    std::size_t pool_size = 4;
    for (std::uint32_t id = 1; id <= highest; ++id) {
        const slot_state s = state_of(id);
        pool_size += slot_bytes(s.used, s.length);
    }
    to.highest = highest;
    to.pool.resize(pool_size);
    to.long_ids.clear();
    write_u32(to.pool.data(), header());
    std::uint8_t* pool = to.pool.data();
    std::size_t slot_at = 4;
    for (std::uint32_t id = 1; id <= highest; ++id) {
        const slot_state s = state_of(id);
        if (slot_bytes(s.used, s.length) == 8) to.long_ids.push_back(id);
        write_slot(pool + slot_at, s.used, s.length, s.refs);
        slot_at += slot_bytes(s.used, s.length);
    }
    to.valid = true;
}

std::size_t string_pool::image::slot_at(std::uint32_t id) const {
    // After the header, four bytes an id, and four more for each long string before it.
    const auto longer = std::lower_bound(long_ids.begin(), long_ids.end(), id) - long_ids.begin();
    return 4 * (std::size_t(id) + static_cast<std::size_t>(longer));
}

std::vector<std::uint8_t> string_pool::data_pieces::joined() const {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    for (std::string_view piece : pieces) bytes.insert(bytes.end(), piece.begin(), piece.end());
    return bytes;
}

string_pool::data_pieces string_pool::stored_data() const {
    // Strings that lie one after the other in storage (all the loaded ones,
    // usually) make one piece.
    data_pieces out;
    const char* begin = nullptr;  // the piece being extended
    const char* end = nullptr;
    auto extend = [&](const char* from, const char* to) {
        if (from == to) return;
        if (from != end) {
            if (begin != end) out.pieces.emplace_back(begin, static_cast<std::size_t>(end - begin));
            begin = from;
        }
        end = to;
    };
    const char* data = reinterpret_cast<const char*>(data_.data());
    const std::uint32_t highest = highest_used();
    for (std::uint32_t id = 1; id <= highest; ++id) {
        const std::size_t block = id >> block_bits;
        if (!blocks_[block]) {
            // An unread block's strings lie one after another as loaded.
            const bool last = block + 1 == loaded_blocks_.size();
            extend(data + loaded_blocks_[block].data_at,
                   data + (last ? data_.size() : loaded_blocks_[block + 1].data_at));
            id |= in_block;
            continue;
        }
        const entry& e = entry_of(id);
        if (e.used) extend(e.text, e.text + e.length);
    }
    if (begin != end) out.pieces.emplace_back(begin, static_cast<std::size_t>(end - begin));
    for (std::string_view piece : out.pieces) out.size += piece.size();
    return out;
}

std::uint64_t string_pool::loaded_prefix(const data_pieces& data) const {
    if (data.pieces.empty() || data.pieces.front().data() != reinterpret_cast<const char*>(data_.data())) return 0;
    return std::min<std::uint64_t>(data.pieces.front().size(), data_.size());
}

string_pool::streams string_pool::encode() const {
    image fresh;
    encode_into(fresh);
    return {std::move(fresh.pool), stored_data().joined()};
}

string_pool::streams string_pool::encode_with_counts(const std::vector<std::uint32_t>& counts, int width) const {
    string_pool stored = copy();
    stored.set_reference_counts(counts);
    // Freeing strings may lower the highest id below 0x10000; the header
    // must still say the width the tables are written with.
    if (width == 3) stored.stored_width_ = 3;
    return stored.encode();
}

// Brings the last image up to date by rewriting the slots of the ids touched
// since and appending those of ids past its end. False (image unchanged)
// when a long string is involved: its second slot would shift every later
// slot.
bool string_pool::patch_image() {
    image& im = saved_;
    const std::uint32_t old_highest = im.highest;
    // Touched ids lie within the image; ids past it that are used now were
    // all added since and are at most appended_highest_.
    std::uint32_t new_highest = std::max(old_highest, appended_highest_);
    while (new_highest > 0 && !state_of(new_highest).used) --new_highest;
    for (const touch_record& t : touched_) {
        const entry& e = entry_of(t.id);
        if (t.before_length >= long_string_bytes || (e.used && e.length >= long_string_bytes)) return false;
    }
    for (std::uint32_t id = old_highest + 1; id <= new_highest; ++id) {
        const slot_state s = state_of(id);
        if (s.used && s.length >= long_string_bytes) return false;
    }
    write_u32(im.pool.data(), header());
    const std::uint32_t kept = std::min(old_highest, new_highest);
    for (const touch_record& t : touched_) {
        if (t.id > kept) continue;
        const entry& e = entry_of(t.id);
        write_slot(&im.pool[im.slot_at(t.id)], e.used, e.length, e.refs);
    }
    if (new_highest < old_highest) {
        // Ids past the new highest are all free now and leave the stream.
        im.pool.resize(im.slot_at(new_highest + 1));
        im.long_ids.erase(std::upper_bound(im.long_ids.begin(), im.long_ids.end(), new_highest), im.long_ids.end());
    } else {
        std::size_t at = im.pool.size();
        const std::size_t needed = at + 4 * std::size_t(new_highest - old_highest);
        // Room for a few more ids at a time: doubling would take twice the
        // pool's memory afresh for what is mostly one new string.
        if (needed > im.pool.capacity()) im.pool.reserve(needed + room_to_grow(needed));
        im.pool.resize(needed);
        for (std::uint32_t id = old_highest + 1; id <= new_highest; ++id, at += 4) {
            const slot_state s = state_of(id);
            write_slot(&im.pool[at], s.used, s.length, s.refs);
        }
    }
    im.highest = new_highest;
    return true;
}

string_pool::saved_streams string_pool::save() {
    // The data stream changed when an id's bytes differ from those it held
    // at the last save (a freed id holds none).
    bool data_changed = !saved_.valid;
    for (const touch_record& t : touched_) {
        const entry& e = entry_of(t.id);
        const std::string_view now = e.used ? e.view() : std::string_view();
        data_changed = data_changed || now != t.before();
    }
    // Ids past the image were free when it was made.
    for (std::uint32_t id = saved_.highest + 1; saved_.valid && id <= appended_highest_; ++id)
        data_changed = data_changed || state_of(id).used;
    if (!saved_.valid || !patch_image()) {
        read_all_blocks();
        encode_into(saved_);
    }
    if (data_changed) ++data_generation_;
    for (const touch_record& t : touched_)
        if (t.id < id_limit_) entry_of(t.id).touched = false;
    touched_.clear();
    appended_highest_ = 0;
    return {saved_.pool, stored_data()};
}

void string_pool::touch(std::uint32_t id) {
    dirty_ = true;
    if (!saved_.valid || entry_of(id).touched) return;
    if (id > saved_.highest) {
        // No slot to patch and nothing held before: save() appends its slot.
        appended_highest_ = std::max(appended_highest_, id);
        return;
    }
    const std::size_t most = id_limit_ / 4 + 64;
    // Most commits touch a handful of ids: room for every record a large
    // pool allows would spread a one-row edit's memory over more pages.
    if (touched_.capacity() == 0) touched_.reserve(std::min<std::size_t>(most, 1024));
    if (touched_.size() >= most) {
        // A large part of the pool changed: the next save encodes it afresh.
        read_all_blocks();
        for (const touch_record& t : touched_) entry_of(t.id).touched = false;
        touched_.clear();
        saved_ = image{};
        return;
    }
    entry& e = entry_of(id);
    e.touched = true;
    touched_.push_back({id, e.used ? e.length : 0, e.used ? e.text : nullptr});
}

int string_pool::reference_width() const {
    if (stored_width_ == 3) return 3;
    for (std::uint32_t id = id_limit(); id-- > 0xFFFF + 1;)
        if (state_of(id).used) return 3;
    return 2;
}

void string_pool::mark_saved() {
    stored_width_ = reference_width();
    dirty_ = false;
}

// ---- reading

void string_pool::missing(std::uint32_t id) {
    throw automation_error(hresult_from_win32(ERROR_INSTALL_PACKAGE_INVALID),
                           "The database refers to string " + std::to_string(id) + ", which its string pool lacks.");
}

std::u16string string_pool::text(std::uint32_t id) const { return decode_code_page(bytes(id), code_page_); }

std::uint32_t string_pool::reference_count(std::uint32_t id) const { return contains(id) ? state_of(id).refs : 0; }

bool string_pool::holds(std::uint32_t id, std::string_view bytes) const {
    if (id == 0 || id >= id_limit_) return false;
    const slot_state s = state_of(id);
    return s.used && s.length == bytes.size() && entry_of(id).view() == bytes;
}

void string_pool::ensure_index() const {
    if (index_ready_) return;
    // Sized for the strings held, not the ids: pools often keep many free ids.
    read_all_blocks();
    std::size_t used = 0;
    for (std::uint32_t id = 1; id < id_limit(); ++id) used += entry_of(id).used;
    index_.reserve(used, *this);
    for (std::uint32_t id = 1; id < id_limit(); ++id)
        if (entry_of(id).used) index_.insert(id, hash_bytes(entry_of(id).view()), *this);
    index_ready_ = true;
}

bool string_pool::index_worth_building() const {
    // A scan costs about what hashing a sixteenth of the pool does.
    constexpr unsigned scans_before_index = 16;
    return index_ready_ || ++scans_ > scans_before_index;
}

std::optional<std::uint32_t> string_pool::scan_for(std::string_view bytes) const {
    const auto length = static_cast<std::uint32_t>(bytes.size());
    const std::uint8_t* data = data_.data();
    for (std::size_t block = 0; block < blocks_.size(); ++block) {
        std::optional<std::uint32_t> found;
        if (const entry* entries = blocks_[block].get()) {
            const auto first = static_cast<std::uint32_t>(block << block_bits);
            const std::uint32_t end = std::min(first + block_ids, id_limit_);
            for (std::uint32_t id = std::max(first, 1u); id < end && !found; ++id) {
                const entry& e = entries[id & in_block];
                if (e.used && e.length == length && e.view() == bytes) found = id;
            }
        } else {
            // Unread blocks are searched in the image, which reads them no sooner.
            walk_loaded_block(block, saved_.pool, saved_.highest,
                              [&](std::uint32_t id, const read_slot& slot, std::size_t offset) {
                                  if (slot.length == length && std::memcmp(data + offset, bytes.data(), length) == 0)
                                      found = id;
                                  return found.has_value();
                              });
        }
        if (found) return found;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> string_pool::find_bytes(std::string_view bytes) const {
    if (!index_worth_building()) return scan_for(bytes);
    ensure_index();
    return index_.find(bytes, hash_bytes(bytes), *this);
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

// ---- changing

std::uint32_t string_pool::add_reference_bytes(std::string_view bytes) {
    if (bytes.empty()) return 0;
    if (bytes.size() > 0xFFFFFFFFu)
        throw automation_error(hresult_from_win32(ERROR_FUNCTION_FAILED), "A string is too long for the string pool.");
    const bool indexed = index_worth_building();
    if (indexed) ensure_index();
    const std::uint64_t hash = indexed ? hash_bytes(bytes) : 0;
    if (auto id = indexed ? index_.find(bytes, hash, *this) : scan_for(bytes)) {
        add_reference(*id);
        return *id;
    }
    std::uint32_t id;
    if (!free_ids_.empty()) {
        std::pop_heap(free_ids_.begin(), free_ids_.end(), std::greater<>());
        id = free_ids_.back();
        free_ids_.pop_back();
    } else {
        id = append_id();
    }
    touch(id);  // first, so that it records what the id held before
    entry& e = entry_of(id);
    e.text = arena_.store(bytes);
    e.length = static_cast<std::uint32_t>(bytes.size());
    e.refs = 1;
    e.used = true;
    if (indexed) index_.insert(id, hash, *this);  // else the index, when built, finds it
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
    entry& e = entry_of(id);
    if (e.refs < entry::max_refs) ++e.refs;
    touch(id);
}

void string_pool::release(std::uint32_t id) {
    if (!contains(id)) return;
    entry& e = entry_of(id);
    touch(id);
    if (e.refs > 1) {
        --e.refs;
        return;
    }
    free_id(id);
}

void string_pool::release_keeping(std::uint32_t id) {
    if (!contains(id)) return;
    touch(id);
    entry& e = entry_of(id);
    if (e.refs > 0 && --e.refs == 0) zero_counts_.push_back(id);
}

void string_pool::set_reference_counts(const std::vector<std::uint32_t>& counts) {
    for (std::uint32_t id = 1; id < id_limit(); ++id)
        if (state_of(id).used) set_reference_count(id, id < counts.size() ? counts[id] : 0);
}

void string_pool::set_reference_count(std::uint32_t id, std::uint32_t count) {
    if (!contains(id)) return;
    if (count == state_of(id).refs && count != 0) return;
    touch(id);
    entry& e = entry_of(id);
    if (count == 0)
        free_id(id);
    else
        e.refs = std::min(count, entry::max_refs);
}

std::vector<std::uint32_t> string_pool::unreferenced_ids(std::size_t most) {
    std::sort(zero_counts_.begin(), zero_counts_.end());
    zero_counts_.erase(std::unique(zero_counts_.begin(), zero_counts_.end()), zero_counts_.end());
    std::erase_if(zero_counts_, [&](std::uint32_t id) { return !contains(id) || state_of(id).refs != 0; });
    return {zero_counts_.begin(),
            zero_counts_.begin() + static_cast<std::ptrdiff_t>(std::min(most + 1, zero_counts_.size()))};
}

void string_pool::free_id(std::uint32_t id) {
    entry& e = entry_of(id);
    // The last cell let go: the id becomes free for the next new string.
    if (index_ready_) index_.erase(id, hash_bytes(e.view()), *this);
    const bool touched = e.touched;
    e = entry{};
    e.touched = touched;
    free_ids_.push_back(id);
    std::push_heap(free_ids_.begin(), free_ids_.end(), std::greater<>());
}

// ---- copies

string_pool string_pool::copy() const {
    streams s = encode();
    string_pool result = load(std::move(s.pool), std::move(s.data));
    result.stored_width_ = stored_width_;
    result.dirty_ = dirty_;
    return result;
}

void string_pool::convert_code_page(int code_page) {
    if (!is_supported_code_page(code_page)) bad_pool("code page " + std::to_string(code_page) + " is not supported");
    if (code_page == code_page_) return;
    // Every string is converted before any entry changes.
    read_all_blocks();
    std::vector<std::string> converted(id_limit_);
    for (std::uint32_t id = 1; id < id_limit(); ++id)
        if (entry_of(id).used)
            converted[id] = encode_code_page(decode_code_page(entry_of(id).view(), code_page_), code_page);
    for (std::uint32_t id = 1; id < id_limit(); ++id) {
        entry& e = entry_of(id);
        if (!e.used) continue;
        e.text = arena_.store(converted[id]);
        e.length = static_cast<std::uint32_t>(converted[id].size());
    }
    code_page_ = code_page;
    index_ = text_index{};
    index_ready_ = false;
    for (const touch_record& t : touched_) entry_of(t.id).touched = false;
    touched_.clear();
    saved_ = image{};
    dirty_ = true;
}

}  // namespace msi
