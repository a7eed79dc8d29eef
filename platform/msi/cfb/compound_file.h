#pragma once
// Compound file (structured storage) container: the file format beneath
// every .msi and .mst. Read lazily; written incrementally on commit.
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace msi {

using class_id = std::array<std::uint8_t, 16>;

// 000C1084-0000-0000-C000-000000000046 and 000C1082-..., as stored on disk.
extern const class_id database_class_id;
extern const class_id transform_class_id;
extern const class_id patch_class_id;

class compound_file {
public:
    // Opens an existing file. The file is opened read-only by the operating
    // system; it is reopened for writing only by a commit that has changes.
    // Malformed files raise automation_error (ERROR_OPEN_FAILED) with a message
    // that says what is wrong.
    static std::unique_ptr<compound_file> open(const std::filesystem::path& path);
    // Opens a compound file's bytes held in memory, shared with the caller
    // and never changed. Read as a file is; commit is refused (save_as
    // writes the storage out).
    static std::unique_ptr<compound_file> open(std::shared_ptr<const std::vector<std::uint8_t>> bytes);
    // A new, empty storage held in memory until save_as.
    static std::unique_ptr<compound_file> create(const class_id& root_class);

    virtual ~compound_file() = default;

    virtual const class_id& root_class() const = 0;
    virtual void set_root_class(const class_id& id) = 0;

    // Streams directly under the root storage, by their stored (encoded)
    // names. Sub-storages are kept as they are and not listed here.
    virtual std::vector<std::u16string> stream_names() const = 0;
    // Names of the sub-storages directly under the root, as stored.
    virtual std::vector<std::u16string> storage_names() const = 0;
    virtual bool has_stream(const std::u16string& name) const = 0;
    virtual std::uint64_t stream_size(const std::u16string& name) const = 0;
    // The stream's content, with staged writes visible, and room reserved for
    // `room` more bytes behind it. Raises automation_error for a stream that
    // does not exist or whose chain is broken.
    virtual std::vector<std::uint8_t> read_stream(const std::u16string& name, std::size_t room = 0) const = 0;
    // Part of it: out.size() bytes from offset, which must lie within the
    // stream. Reading a large stream piece by piece needs no memory for all of it.
    virtual void read_stream_part(const std::u16string& name, std::uint64_t offset,
                                  std::span<std::uint8_t> out) const = 0;

    // Raises file_changed_error when another program changed or replaced the
    // opened file since it was opened (or since this object's last commit).
    // Reading a stream from the file and committing check this first.
    virtual void check_unchanged() const = 0;

    // Staged until commit or save_as.
    virtual void write_stream(const std::u16string& name, std::vector<std::uint8_t> data) = 0;
    virtual void remove_stream(const std::u16string& name) = 0;
    virtual bool has_changes() const = 0;

    // Sub-storages directly under the root, staged like streams. A written
    // storage takes the whole compound file `content` holds: its root's
    // class id and everything under it. Raises automation_error
    // (ERROR_FUNCTION_FAILED) for content that is no compound file and for
    // a name a stream has.
    virtual bool has_storage(const std::u16string& name) const = 0;
    virtual void write_storage(const std::u16string& name, const std::vector<std::uint8_t>& content) = 0;
    virtual void remove_storage(const std::u16string& name) = 0;

    // Writes the staged changes into the opened file: changed streams into free
    // or new sectors, then allocation tables, directory and header. Streams that
    // did not change are neither read nor rewritten.
    void commit() { commit({}); }
    // A stream's content as pieces of memory that follow each other.
    struct stream_pieces {
        std::vector<std::span<const std::uint8_t>> parts;
        std::uint64_t size = 0;
        // Leading bytes the caller knows to equal the stored stream's: the
        // commit keeps their sectors without reading them to compare.
        std::uint64_t unchanged_prefix = 0;
    };
    // The same, with more streams written as if staged but only borrowed
    // for the call (name and content): a large stream needs no copy.
    using borrowed_stream = std::pair<std::u16string, stream_pieces>;
    // A failed commit leaves the file as its message says and this object
    // usable: the staged changes stay staged, and the file is read afresh.
    virtual void commit(const std::vector<borrowed_stream>& also) = 0;
    // Commits make their data durable (fdatasync) before and after the
    // header switches to it, unless turned off for a file that is thrown
    // away after a crash: then only the order of the writes is kept.
    virtual void set_durable_commits(bool durable) = 0;
    // Writes the whole storage as a new file (used for transforms), replacing
    // `path` in one step once it is complete. Raises ERROR_CREATE_FAILED with
    // the system's reason when the file cannot be written.
    virtual void save_as(const std::filesystem::path& path) const = 0;
    // The bytes save_as would write, made in memory.
    virtual std::vector<std::uint8_t> save_to_memory() const = 0;
};

}  // namespace msi
