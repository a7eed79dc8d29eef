#include "msi/cfb/compound_file.h"
#include "msi/cfb/printable_name.h"

#include "msi/cfb/commit.h"
#include "msi/cfb/image.h"
#include "msi/cfb/sibling_tree.h"
#include "msi/cfb/storage_tree.h"
#include "msi/cfb/writer.h"
#include "system/atomic_file.h"

#include <map>
#include <set>
#include <system_error>

namespace msi {

const class_id database_class_id = {0x84, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                    0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
const class_id transform_class_id = {0x82, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                     0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
const class_id patch_class_id = {0x86, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

namespace {

using cfb::name_less;
using cfb::printable_name;

[[noreturn]] void no_such_stream(const std::u16string& name) {
    throw automation_error(hresult_from_win32(ERROR_OPEN_FAILED), "no stream named '" + printable_name(name) + "'");
}

// A storage read from a file (when `image_` is set) or built in memory,
// with writes and removals staged until commit or save_as.
class staged_compound_file final : public compound_file {
public:
    explicit staged_compound_file(std::unique_ptr<cfb::image> img)
        : image_(std::move(img)), root_class_(image_->entries()[0].clsid) {}
    explicit staged_compound_file(const class_id& root) : root_class_(root), class_changed_(true) {}

    const class_id& root_class() const override { return root_class_; }
    void set_root_class(const class_id& id) override {
        if (id == root_class_) return;
        root_class_ = id;
        class_changed_ = true;
    }

    std::vector<std::u16string> stream_names() const override {
        std::set<std::u16string, name_less> names;
        if (image_) {
            for (const auto& [name, id] : image_->root_children())
                if (is_stored_stream(id) && !removed_.count(name)) names.insert(name);
        }
        for (const auto& staged : staged_) names.insert(staged.first);
        return {names.begin(), names.end()};
    }

    std::vector<std::u16string> storage_names() const override {
        std::set<std::u16string, name_less> names;
        if (image_)
            for (const auto& [name, id] : image_->root_children())
                if (is_stored_storage(id) && !removed_storages_.count(name)) names.insert(name);
        for (const auto& staged : staged_storages_) names.insert(staged.first);
        return {names.begin(), names.end()};
    }

    bool has_storage(const std::u16string& name) const override {
        if (staged_storages_.count(name)) return true;
        if (!image_ || removed_storages_.count(name)) return false;
        auto it = image_->root_children().find(name);
        return it != image_->root_children().end() && is_stored_storage(it->second);
    }

    void write_storage(const std::u16string& name, const std::vector<std::uint8_t>& content) override {
        check_name(name, "storage");
        if (has_stream(name))
            throw automation_error(hresult_from_win32(ERROR_FUNCTION_FAILED),
                                   "a stream named '" + printable_name(name) + "' exists");
        cfb::new_entry tree;
        try {
            tree = cfb::read_storage_tree(content, name);
        } catch (const automation_error& e) {
            if (e.code() != hresult_from_win32(ERROR_OPEN_FAILED)) throw;
            throw automation_error(
                hresult_from_win32(ERROR_FUNCTION_FAILED),
                "the data of storage '" + printable_name(name) + "' is not a compound file: " + e.what());
        }
        // A storage in the file is replaced whole.
        if (has_storage(name) && !staged_storages_.count(name)) removed_storages_.insert(name);
        staged_storages_.insert_or_assign(name, std::move(tree));
    }

    void remove_storage(const std::u16string& name) override {
        staged_storages_.erase(name);
        if (image_) {
            auto it = image_->root_children().find(name);
            if (it != image_->root_children().end() && is_stored_storage(it->second)) removed_storages_.insert(name);
        }
    }

    bool has_stream(const std::u16string& name) const override {
        return staged_.count(name) > 0 || stored_id(name).has_value();
    }

    std::uint64_t stream_size(const std::u16string& name) const override {
        if (auto it = staged_.find(name); it != staged_.end()) return it->second.size();
        if (auto id = stored_id(name)) return image_->stream_size(*id);
        no_such_stream(name);
    }

    std::vector<std::uint8_t> read_stream(const std::u16string& name, std::size_t room = 0) const override {
        if (auto it = staged_.find(name); it != staged_.end()) {
            std::vector<std::uint8_t> copy;
            copy.reserve(it->second.size() + room);
            copy.assign(it->second.begin(), it->second.end());
            return copy;
        }
        if (auto id = stored_id(name)) {
            image_->check_unchanged();
            return image_->read_stream(*id, room);
        }
        no_such_stream(name);
    }

    void read_stream_part(const std::u16string& name, std::uint64_t offset,
                          std::span<std::uint8_t> out) const override {
        if (auto it = staged_.find(name); it != staged_.end()) {
            const std::vector<std::uint8_t>& data = it->second;
            if (offset > data.size() || out.size() > data.size() - offset)
                throw automation_error(hresult_from_win32(ERROR_OPEN_FAILED),
                                       "A part past the end of a stream was asked for.");
            std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
            return;
        }
        if (auto id = stored_id(name)) {
            image_->check_unchanged();
            return image_->read_stream_part(*id, offset, out);
        }
        no_such_stream(name);
    }

    void check_unchanged() const override {
        if (image_) image_->check_unchanged();
    }

    void write_stream(const std::u16string& name, std::vector<std::uint8_t> data) override {
        check_writable(name);
        if (staged_storages_.count(name))
            throw automation_error(hresult_from_win32(ERROR_FUNCTION_FAILED),
                                   "a storage named '" + printable_name(name) + "' exists");
        removed_.erase(name);
        staged_.insert_or_assign(name, std::move(data));
    }

    static void check_name(const std::u16string& name, const char* kind) {
        if (name.empty() || name.size() > cfb::max_name_units)
            throw automation_error(E_INVALIDARG, std::string(kind) + " name '" + printable_name(name) +
                                                     "' is empty or longer than 31 characters");
        for (char16_t c : name) {
            if (c == 0 || c == u'/' || c == u'\\' || c == u':' || c == u'!')
                throw automation_error(
                    E_INVALIDARG, std::string(kind) + " name '" + printable_name(name) + "' has a reserved character");
        }
    }

    void check_writable(const std::u16string& name) const {
        check_name(name, "stream");
        if (image_) {
            auto it = image_->root_children().find(name);
            if (it != image_->root_children().end() && !is_stored_stream(it->second))
                throw automation_error(hresult_from_win32(ERROR_FUNCTION_FAILED),
                                       "a storage named '" + printable_name(name) + "' exists");
        }
    }

    void remove_stream(const std::u16string& name) override {
        staged_.erase(name);
        if (stored_id(name)) removed_.insert(name);
    }

    bool has_changes() const override {
        return class_changed_ || !staged_.empty() || !removed_.empty() || !staged_storages_.empty() ||
               !removed_storages_.empty();
    }

    void commit(const std::vector<borrowed_stream>& also) override {
        if (!image_ || image_->in_memory())
            throw automation_error(hresult_from_win32(ERROR_FUNCTION_FAILED),
                                   "storage has no file to commit to; use save_as");
        image_->check_unchanged();
        if (!has_changes() && also.empty()) return;
        std::map<std::u16string, stream_pieces, name_less> writes;
        for (const auto& [name, data] : staged_) writes.emplace(name, stream_pieces{{data}, data.size()});
        std::set<std::u16string, name_less> removals = removed_;
        for (const auto& [name, data] : also) {
            check_writable(name);
            writes.insert_or_assign(name, data);
            removals.erase(name);
        }
        try {
            cfb::commit_changes(*image_,
                                {class_changed_ ? std::optional(root_class_) : std::nullopt, writes, removals,
                                 staged_storages_, removed_storages_},
                                durable_ ? cfb::commit_durability::synced : cfb::commit_durability::ordered);
        } catch (const automation_error&) {
            // Memory ran ahead of the file: read the file as it now is, so
            // that a later commit can try again.
            try {
                image_ = cfb::image::open(image_->path());
            } catch (const automation_error&) {}
            throw;
        }
        staged_.clear();
        removed_.clear();
        staged_storages_.clear();
        removed_storages_.clear();
        class_changed_ = false;
    }

    void set_durable_commits(bool durable) override { durable_ = durable; }

    void save_as(const std::filesystem::path& path) const override {
        const cfb::new_entry root = whole_tree();
        try {
            sys::replace_file(path, [&](int fd) {
                sys::file_handle file = sys::file_handle::borrow(fd);
                cfb::write_compound_file(file, root);
            });
        } catch (const std::system_error& e) {
            throw automation_error(hresult_from_win32(ERROR_CREATE_FAILED), std::string(e.what()) + ".");
        } catch (const automation_error& e) {
            throw automation_error(hresult_from_win32(ERROR_CREATE_FAILED),
                                   "cannot write " + path.string() + ": " + e.what() + ".");
        }
    }

    std::vector<std::uint8_t> save_to_memory() const override { return cfb::write_compound_file(whole_tree()); }

private:
    // The storage with its staged changes, as a new file holds it.
    cfb::new_entry whole_tree() const {
        cfb::new_entry root;
        root.type = cfb::entry_type::root;
        root.clsid = root_class_;
        if (image_) {
            const cfb::directory_entry& stored = image_->entries()[0];
            root.state = stored.state_bits();
            root.created = stored.created();
            root.modified = stored.modified();
            for (const auto& [name, id] : image_->root_children()) {
                if (removed_.count(name) || staged_.count(name) || removed_storages_.count(name)) continue;
                root.children.push_back(copy_of(id));
            }
        }
        for (const auto& staged : staged_storages_) root.children.push_back(staged.second);
        for (const auto& [name, data] : staged_) {
            cfb::new_entry stream;
            stream.name = name;
            stream.size = data.size();
            stream.content = [&bytes = data] { return bytes; };  // clang 14 cannot capture a structured binding
            root.children.push_back(std::move(stream));
        }
        return root;
    }

    bool is_stored_stream(std::uint32_t id) const { return image_->entries()[id].type == cfb::entry_type::stream; }
    bool is_stored_storage(std::uint32_t id) const { return image_->entries()[id].type == cfb::entry_type::storage; }

    std::optional<std::uint32_t> stored_id(const std::u16string& name) const {
        if (!image_ || removed_.count(name)) return std::nullopt;
        auto it = image_->root_children().find(name);
        if (it == image_->root_children().end() || !is_stored_stream(it->second)) return std::nullopt;
        return it->second;
    }

    // An entry of the opened file, with a storage's whole subtree, as it is.
    cfb::new_entry copy_of(std::uint32_t id, int depth = 1) const {
        if (depth > cfb::max_storage_depth)
            throw automation_error(hresult_from_win32(ERROR_CREATE_FAILED), "storages are nested more than " +
                                                                                std::to_string(cfb::max_storage_depth) +
                                                                                " deep; the file cannot be copied");
        const cfb::directory_entry& e = image_->entries()[id];
        cfb::new_entry out = cfb::entry_like(e);
        if (e.type == cfb::entry_type::stream) {
            out.size = image_->stream_size(id);
            const cfb::image* img = image_.get();
            out.content = [img, id] { return img->read_stream(id); };
        } else {
            for (std::uint32_t child : cfb::children_in_order(image_->entries(), id))
                out.children.push_back(copy_of(child, depth + 1));
        }
        return out;
    }

    std::unique_ptr<cfb::image> image_;
    class_id root_class_;
    bool class_changed_ = false;
    bool durable_ = true;
    std::map<std::u16string, std::vector<std::uint8_t>, name_less> staged_;
    std::set<std::u16string, name_less> removed_;
    // Storages written whole (their trees) and stored ones removed or replaced.
    std::map<std::u16string, cfb::new_entry, name_less> staged_storages_;
    std::set<std::u16string, name_less> removed_storages_;
};

}  // namespace

std::unique_ptr<compound_file> compound_file::open(const std::filesystem::path& path) {
    try {
        return std::make_unique<staged_compound_file>(cfb::image::open(path));
    } catch (const automation_error& e) {
        std::string what = e.what();
        if (what.find(path.string()) != std::string::npos) throw;
        throw automation_error(e.code(), path.string() + ": " + what);
    }
}

std::unique_ptr<compound_file> compound_file::open(std::shared_ptr<const std::vector<std::uint8_t>> bytes) {
    return std::make_unique<staged_compound_file>(cfb::image::open(std::move(bytes)));
}

std::unique_ptr<compound_file> compound_file::create(const class_id& root_class) {
    return std::make_unique<staged_compound_file>(root_class);
}

}  // namespace msi
