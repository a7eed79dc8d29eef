#pragma once
// The database's string pool (`_StringPool` + `_StringData`): every string
// that a table cell holds, stored once under a numeric id with a count of the
// cells that refer to it. Strings are kept as the stored code-page bytes, so
// strings nobody touches are written back byte for byte.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace msi {

class string_pool {
public:
    explicit string_pool(int code_page = 0);
    // Entries point into buffers the pool owns: a pool moves, it is not copied.
    string_pool(string_pool&&) = default;
    string_pool& operator=(string_pool&&) = default;
    string_pool(const string_pool&) = delete;
    string_pool& operator=(const string_pool&) = delete;

    // Parses the two streams. Raises automation_error (ERROR_INSTALL_PACKAGE_INVALID)
    // for a pool that disagrees with its data or declares an unknown code page.
    // Both buffers become the pool's own (pass them with std::move to spare
    // copies): the data holds the strings, the pool stream is what save()
    // patches first.
    static string_pool load(std::vector<std::uint8_t> pool, std::vector<std::uint8_t> data);
    // The room to leave behind a pool stream of `size` bytes: the slots of
    // ids added later go there, and the stream need not move for a few.
    static std::size_t room_to_grow(std::size_t size) { return size / 64 + 64; }

    struct streams {
        std::vector<std::uint8_t> pool;
        std::vector<std::uint8_t> data;
    };
    // The data stream as it is to be stored, in pieces of the pool's own
    // storage, in order: no copy of the strings is made.
    struct data_pieces {
        std::vector<std::string_view> pieces;
        std::uint64_t size = 0;
        std::vector<std::uint8_t> joined() const;
    };
    // How many leading bytes of `data` are the loaded data stream's own,
    // unchanged (the loaded strings before the first that changed).
    std::uint64_t loaded_prefix(const data_pieces& data) const;
    struct saved_streams {
        const std::vector<std::uint8_t>& pool;
        data_pieces data;
    };
    // Both streams as they are to be stored; trailing free ids are left out and
    // the 3-byte flag is set exactly when reference_width() is 3. The pool keeps
    // the pool stream it returns (the one it loaded, at first) and, next time,
    // patches only the slots of the ids changed since; the result is always
    // byte for byte what encode() gives. Valid until the next call that
    // changes the pool.
    saved_streams save();
    // Counts the saves whose data stream differed from the one before (or
    // from the one loaded): a caller that stored the data of one generation
    // need not store it again.
    std::uint64_t data_generation() const { return data_generation_; }
    // Both streams encoded afresh from every id (what save() must equal).
    streams encode() const;
    // Both streams as they are stored when only `counts[id]` cells of the
    // file refer to each string (others live in memory only): strings no
    // stored cell uses keep their ids as free slots, and the header's
    // reference width is `width`. The pool itself is unchanged.
    streams encode_with_counts(const std::vector<std::uint32_t>& counts, int width) const;

    int code_page() const { return code_page_; }
    // Width of a string reference in table streams, as the loaded header said.
    int stored_reference_width() const { return stored_width_; }
    // Width of string references once the pool is saved: 3 when the highest
    // used id is 0x10000 or more, or when the tables are stored with 3-byte
    // references already (going back to 2 would rewrite every table for nothing).
    int reference_width() const;
    // Records that tables are now stored with reference_width() (after a commit).
    void mark_saved();
    bool dirty() const { return dirty_; }

    // One more than the highest id that has a slot.
    std::uint32_t id_limit() const { return id_limit_; }
    // True for an id that holds a string (id 0, the null string, does not).
    bool contains(std::uint32_t id) const { return id != 0 && id < id_limit_ && state_of(id).used; }
    // The stored bytes of a string; raises automation_error for an id without
    // one. The view stays valid as long as the pool, even once the id is freed.
    std::string_view bytes(std::uint32_t id) const {
        if (!contains(id)) missing(id);
        return entry_of(id).view();
    }
    // Whether the id holds exactly these bytes (false for an id without a
    // string). Cheaper than bytes() for strings of another length.
    bool holds(std::uint32_t id, std::string_view bytes) const;
    std::u16string text(std::uint32_t id) const;
    std::uint32_t reference_count(std::uint32_t id) const;

    // The id of a string, if the pool holds it.
    std::optional<std::uint32_t> find_bytes(std::string_view bytes) const;
    std::optional<std::uint32_t> find(std::u16string_view text) const;

    // One more cell refers to the string: its id, added to the pool when new
    // (reusing a freed id). The empty string is the null id 0 and never pooled.
    std::uint32_t add_reference_bytes(std::string_view bytes);
    std::uint32_t add_reference(std::u16string_view text);
    void add_reference(std::uint32_t id);
    // One cell fewer refers to the string; at zero its id becomes free.
    void release(std::uint32_t id);
    // One cell fewer refers to the string, whose stored count may be too
    // low: at zero it stays in the pool, with its id, until
    // set_reference_counts() says whether any cell still refers to it.
    void release_keeping(std::uint32_t id);
    // Replaces every count with the number of cells that really refer to the
    // string (`counts[id]`, missing entries meaning 0); strings no cell uses
    // are dropped. Stored counts are not always right (some tools write
    // fewer than there are cells), and a count that is too low would free a
    // string that is still in use.
    void set_reference_counts(const std::vector<std::uint32_t>& counts);
    // The same for one string: `count` cells refer to it (0 drops it).
    void set_reference_count(std::uint32_t id, std::uint32_t count);
    // Strings held with a count of 0 (let go by release_keeping, or stored
    // so), lowest first; at most `most`, or most + 1 when there are more.
    std::vector<std::uint32_t> unreferenced_ids(std::size_t most);

    // An independent pool with the same ids, strings, counts and stored
    // reference width: changes are staged on it and the original stays as it
    // was until the copy replaces it.
    string_pool copy() const;
    // Re-encodes every string in another code page under the same id. Raises
    // automation_error (ERROR_INVALID_DATA) when that code page cannot hold a
    // string; the pool is then unchanged.
    void convert_code_page(int code_page);

private:
    // Sixteen bytes: a pool can hold millions.
    struct entry {
        static constexpr std::uint32_t max_refs = (1u << 30) - 1;
        const char* text = nullptr;  // into data_ or arena_, never moved
        std::uint32_t length = 0;
        std::uint32_t refs : 30 = 0;
        std::uint32_t used : 1 = 0;     // holds a string (possibly with a stored count of 0)
        std::uint32_t touched : 1 = 0;  // changed since the last save(), listed in touched_
        std::string_view view() const { return {text, length}; }
    };
    // Strings added after loading: chunks that are never reallocated, so
    // entries (and views handed out) stay put.
    class arena {
    public:
        const char* store(std::string_view bytes);

    private:
        std::vector<std::unique_ptr<char[]>> chunks_;  // the last one is open
        std::size_t used_ = 0;                         // of the open chunk
        std::vector<std::unique_ptr<char[]>> big_;     // one string each
    };
    // Entries are kept in blocks of ids. A block of loaded ids is read from
    // the loaded streams when it is first needed: a one-row edit of a large
    // pool reads a few blocks, not an entry for every string.
    static constexpr unsigned block_bits = 8;
    static constexpr std::uint32_t block_ids = 1u << block_bits;
    static constexpr std::uint32_t in_block = block_ids - 1;
    // Where a loaded block's slots and strings begin. While the block is
    // unread, none of its ids has changed since loading: their slots are
    // still in the image and their strings in data_, one after the other.
    struct loaded_block {
        std::size_t slot_at = 0;  // of the block's first id (0, the header's place, for block 0)
        std::size_t data_at = 0;
        bool long_slots = false;  // some slot takes 8 bytes
    };
    // An id's slot without its bytes.
    struct slot_state {
        bool used = false;
        std::uint32_t length = 0;
        std::uint32_t refs = 0;
    };
    // Ids by stored bytes: open addressing with linear probing. A slot
    // holds an id and the top 8 bits of its string's hash, which spare most
    // comparisons of bytes; 0 marks an empty slot. Four bytes a slot: ids
    // take 24 bits, as in the 3-byte references of the widest tables;
    // larger ids, which no stored table can refer to, are kept beside in a
    // map by their bytes. One id per distinct string; with duplicates the first id is
    // the one found.
    class text_index {
    public:
        void reserve(std::size_t count, const string_pool& pool);
        std::optional<std::uint32_t> find(std::string_view bytes, std::uint64_t hash, const string_pool& pool) const;
        // Adds the id unless its bytes are indexed already.
        void insert(std::uint32_t id, std::uint64_t hash, const string_pool& pool);
        // Removes the id if it is the one indexed for its bytes; the
        // entries still hold its bytes.
        void erase(std::uint32_t id, std::uint64_t hash, const string_pool& pool);

    private:
        static constexpr int id_bits = 24;
        static constexpr std::uint32_t id_mask = (1u << id_bits) - 1;
        static std::uint32_t tag(std::uint64_t hash);
        // Size a power of two, at most three quarters full: a probe that
        // ends at an empty slot stays short, and a pool's index takes half
        // the memory (and page faults) it would at half full.
        std::vector<std::uint32_t> slots_;
        std::size_t count_ = 0;
        // Ids past what a slot holds (no table can refer to them, but a
        // pool may have them), by their bytes.
        std::unordered_map<std::string_view, std::uint32_t> large_ids_;
    };
    // The pool stream last returned by save() (or loaded), and where each
    // id's slot sits in it.
    struct image {
        bool valid = false;
        std::uint32_t highest = 0;            // ids 1..highest have a slot
        std::vector<std::uint32_t> long_ids;  // ascending: their slots take 8 bytes
        std::vector<std::uint8_t> pool;
        std::size_t slot_at(std::uint32_t id) const;
    };
    // An id changed since the last save(), with the bytes it held then.
    // Sixteen bytes: a commit that corrects many counts makes many records.
    struct touch_record {
        std::uint32_t id;
        std::uint32_t before_length;
        const char* before_text;
        std::string_view before() const { return {before_text, before_length}; }
    };

    [[noreturn]] static void missing(std::uint32_t id);
    void read_slots(std::vector<std::uint8_t> pool);
    // The entry of an id below id_limit(), its block read first if need be.
    entry& entry_of(std::uint32_t id) const {
        std::unique_ptr<entry[]>& block = blocks_[id >> block_bits];
        if (!block) read_block(id >> block_bits, saved_.pool, saved_.highest);
        return block[id & in_block];
    }
    slot_state state_of(std::uint32_t id) const;
    // Reads a loaded block's entries from `slots` (a pool stream whose
    // slots of ids up to `highest` are as loaded).
    void read_block(std::size_t block, const std::vector<std::uint8_t>& slots, std::uint32_t highest) const;
    // Calls visit(id, slot, data offset) for each used id of an unread
    // block, from its slots in `slots`, until visit returns true.
    template <typename Visit>
    void walk_loaded_block(std::size_t block, const std::vector<std::uint8_t>& slots, std::uint32_t highest,
                           Visit&& visit) const;
    // Reads every block: before the image stops describing the loaded ids.
    void read_all_blocks() const;
    std::uint32_t append_id();
    void touch(std::uint32_t id);
    void free_id(std::uint32_t id);
    std::uint32_t highest_used() const;
    std::uint32_t header() const;
    void encode_into(image& to) const;
    bool patch_image();
    data_pieces stored_data() const;
    // The text index is built on the first lookup: a database that is only
    // read by id (a transform's reference, say) never pays for it.
    void ensure_index() const;
    // The first lookups scan the pool instead: a process that runs one
    // statement looks up a handful of strings, far fewer than it would hash
    // to build the index. Returns the lowest id holding `bytes`, as the
    // index does, or nothing.
    std::optional<std::uint32_t> scan_for(std::string_view bytes) const;
    bool index_worth_building() const;

    int code_page_ = 0;
    int stored_width_ = 2;
    bool dirty_ = false;
    // Id 0, the null string, has an entry that is never used.
    mutable std::vector<std::unique_ptr<entry[]>> blocks_;
    std::vector<loaded_block> loaded_blocks_;
    std::uint32_t loaded_limit_ = 1;  // ids at or past it were not loaded
    std::uint32_t id_limit_ = 1;
    std::vector<std::uint8_t> data_;  // the loaded _StringData, which loaded entries point into
    arena arena_;
    std::vector<std::uint32_t> free_ids_;
    // Ids whose count was stored as 0 or fell to 0 while the string stayed
    // (unreferenced_ids() drops those that moved on).
    std::vector<std::uint32_t> zero_counts_;
    std::vector<touch_record> touched_;
    // The highest id past the image's last slot changed since the last
    // save() (0 for none): such ids get no touch_record.
    std::uint32_t appended_highest_ = 0;
    image saved_;
    std::uint64_t data_generation_ = 0;
    mutable text_index index_;
    mutable bool index_ready_ = false;
    mutable unsigned scans_ = 0;
};

}  // namespace msi
