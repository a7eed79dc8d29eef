#pragma once
// The database's string pool (`_StringPool` + `_StringData`): every string
// that a table cell holds, stored once under a numeric id with a count of the
// cells that refer to it. Strings are kept as the stored code-page bytes, so
// strings nobody touches are written back byte for byte.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace msi {

class string_pool {
public:
    explicit string_pool(int code_page = 0);

    // Parses the two streams. Raises automation_error (ERROR_INSTALL_PACKAGE_INVALID)
    // for a pool that disagrees with its data or declares an unknown code page.
    static string_pool load(const std::vector<std::uint8_t>& pool, const std::vector<std::uint8_t>& data);

    struct streams {
        std::vector<std::uint8_t> pool;
        std::vector<std::uint8_t> data;
    };
    // Both streams as they are to be stored; trailing free ids are left out and
    // the 3-byte flag is set exactly when reference_width() is 3.
    streams save() const;

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
    std::uint32_t id_limit() const { return static_cast<std::uint32_t>(entries_.size()); }
    // True for an id that holds a string (id 0, the null string, does not).
    bool contains(std::uint32_t id) const;
    // The stored bytes of a string; raises automation_error for an id without one.
    const std::string& bytes(std::uint32_t id) const;
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
    // Replaces every count with the number of cells that really refer to the
    // string (`counts[id]`, missing entries meaning 0); strings no cell uses
    // are dropped. Stored counts are not always right (some tools write
    // fewer than there are cells), and a count that is too low would free a
    // string that is still in use.
    void set_reference_counts(const std::vector<std::uint32_t>& counts);

private:
    struct entry {
        std::string bytes;
        std::uint32_t refs = 0;
        bool used = false;  // holds a string (possibly with a stored count of 0)
    };
    void free_id(std::uint32_t id);
    // The text index is built on the first lookup: a database that is only
    // read by id (a transform's reference, say) never pays for it.
    void ensure_index() const;

    int code_page_ = 0;
    int stored_width_ = 2;
    bool dirty_ = false;
    std::vector<entry> entries_;  // entries_[0] is the null string
    std::vector<std::uint32_t> free_ids_;
    mutable std::unordered_map<std::string, std::uint32_t> index_;  // bytes -> id, no duplicates
    mutable bool index_ready_ = false;
};

}  // namespace msi
