#include "msi/cfb/storage_tree.h"

#include "msi/automation_error.h"
#include "msi/cfb/image.h"
#include "msi/cfb/printable_name.h"
#include "msi/cfb/sibling_tree.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <set>
#include <sys/mman.h>
#include <unistd.h>

namespace msi::cfb {
namespace {

// An anonymous file in memory holding the bytes, which the file reader
// opens through its /proc path like any other file.
class memory_file {
public:
    explicit memory_file(const std::vector<std::uint8_t>& bytes) : fd_(memfd_create("storage", MFD_CLOEXEC)) {
        if (fd_ < 0) fail();
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) fail();
            done += static_cast<std::size_t>(n);
        }
    }
    ~memory_file() { ::close(fd_); }
    memory_file(const memory_file&) = delete;
    memory_file& operator=(const memory_file&) = delete;

    std::filesystem::path path() const { return "/proc/self/fd/" + std::to_string(fd_); }

private:
    [[noreturn]] static void fail() {
        throw automation_error(hresult_from_win32(ERROR_FUNCTION_FAILED),
                               std::string("cannot hold a storage in memory: ") + std::strerror(errno));
    }
    int fd_;
};

new_entry tree_of(const image& img, std::uint32_t id, int depth) {
    if (depth > max_storage_depth)
        fail_open("storages are nested more than " + std::to_string(max_storage_depth) + " deep");
    const directory_entry& e = img.entries()[id];
    new_entry out = entry_like(e);
    if (e.type == entry_type::stream) {
        auto data = std::make_shared<const std::vector<std::uint8_t>>(img.read_stream(id));
        out.size = data->size();
        out.content = [data] { return *data; };
    } else {
        std::set<std::u16string, name_less> names;
        for (std::uint32_t child : children_in_order(img.entries(), id)) {
            // Every reader finds one of two equal names only.
            if (!names.insert(img.entries()[child].name).second)
                fail_open("a storage holds two entries named '" + printable_name(img.entries()[child].name) + "'");
            out.children.push_back(tree_of(img, child, depth + 1));
        }
    }
    return out;
}

}  // namespace

new_entry entry_like(const directory_entry& e) {
    new_entry out;
    out.name = e.name;
    out.type = e.type;
    out.clsid = e.clsid;
    out.state = e.state_bits();
    out.created = e.created();
    out.modified = e.modified();
    return out;
}

new_entry read_storage_tree(const std::vector<std::uint8_t>& bytes, const std::u16string& name) {
    const memory_file file(bytes);
    const std::unique_ptr<image> img = image::open(file.path());
    new_entry root = tree_of(*img, 0, 0);
    root.name = name;
    root.type = entry_type::storage;
    return root;
}

}  // namespace msi::cfb
