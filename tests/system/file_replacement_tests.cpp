// Files that take another's place (a replaced transform, a working copy):
// who may read them afterwards, and that a failure anywhere leaves the
// earlier file and nothing else.
#include "support/temp_dir.h"
#include "system/atomic_file.h"
#include "system/locked_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <system_error>
#include <unistd.h>

using test_support::read_file;
using test_support::temp_dir;
using test_support::write_file;

namespace {

// How replace_file makes the new file: without a name, or, where the file
// system cannot, under a temporary name.
enum class way { unnamed, named };

// Takes replace_file one way, records its system calls and fails the
// `fail_at`-th (counting from 1) with `error`.
class hooked_calls {
public:
    explicit hooked_calls(way how, std::size_t fail_at = 0, int error = EIO) {
        sys::set_replace_file_hook([=, this, refuse_unnamed = how == way::named](const char* call) mutable {
            if (refuse_unnamed) {  // the first call opens the unnamed file
                refuse_unnamed = false;
                return EOPNOTSUPP;
            }
            calls.push_back(call);
            return calls.size() == fail_at ? error : 0;
        });
    }
    ~hooked_calls() { sys::set_replace_file_hook({}); }
    hooked_calls(const hooked_calls&) = delete;
    hooked_calls& operator=(const hooked_calls&) = delete;

    std::vector<std::string> calls;
};

class scoped_umask {
public:
    explicit scoped_umask(mode_t mask) : previous_(::umask(mask)) {}
    ~scoped_umask() { ::umask(previous_); }

private:
    mode_t previous_;
};

std::function<void(int)> writes(const std::string& text) {
    return [text](int fd) {
        for (std::size_t done = 0; done < text.size();) {
            const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            if (n < 0) throw std::system_error(errno, std::generic_category(), "write");
            done += static_cast<std::size_t>(n);
        }
    };
}

struct stat status_of(const std::filesystem::path& file) {
    struct stat st {};
    EXPECT_EQ(::stat(file.c_str(), &st), 0) << file;
    return st;
}

mode_t mode_of(const std::filesystem::path& file) { return status_of(file).st_mode & 07777; }

std::set<std::string> names_in(const temp_dir& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.insert(entry.path().filename().string());
    return names;
}

const char* name_of(way how) { return how == way::unnamed ? "without a name" : "under a temporary name"; }

// Some owner and group that are not this process's.
constexpr uid_t other_user = 4321;
constexpr gid_t other_group = 4321;

}  // namespace

TEST(ReplaceFile, KeepsOwnerGroupAndPermissionsAndNewFilesFollowTheUmask) {
    const bool root = ::geteuid() == 0;
    for (way how : {way::unnamed, way::named}) {
        SCOPED_TRACE(name_of(how));
        temp_dir dir;
        hooked_calls hook(how);
        scoped_umask mask(027);

        sys::replace_file(dir / "new.mst", writes("new"));
        EXPECT_EQ(mode_of(dir / "new.mst"), 0640u);

        // A transform that may hold a password stays the owner's alone.
        write_file(dir / "secret.mst", "earlier");
        ::chmod((dir / "secret.mst").c_str(), 0600);
        sys::replace_file(dir / "secret.mst", writes("later"));
        EXPECT_EQ(read_file(dir / "secret.mst"), "later");
        EXPECT_EQ(mode_of(dir / "secret.mst"), 0600u);

        // Shared with a group: the group and its access stay, whatever the umask.
        write_file(dir / "shared.mst", "earlier");
        ::chmod((dir / "shared.mst").c_str(), 0660);
        if (root) {
            ASSERT_EQ(::chown((dir / "shared.mst").c_str(), other_user, other_group), 0);
        }
        const struct stat before = status_of(dir / "shared.mst");
        sys::replace_file(dir / "shared.mst", writes("later"));
        const struct stat after = status_of(dir / "shared.mst");
        EXPECT_EQ(after.st_mode & 07777, 0660u);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_gid, before.st_gid);
        EXPECT_EQ(names_in(dir), (std::set<std::string>{"new.mst", "secret.mst", "shared.mst"}));
    }
    if (!root) GTEST_SKIP() << "only root can give a file another owner and group: the group case ran on our own";
}

TEST(ReplaceFile, AFailedCallLeavesTheEarlierFileAndNothingElse) {
    for (way how : {way::unnamed, way::named}) {
        SCOPED_TRACE(name_of(how));
        std::vector<std::string> calls;
        {
            temp_dir dir;
            write_file(dir / "t.mst", "earlier");
            hooked_calls hook(how);
            sys::replace_file(dir / "t.mst", writes("x"));
            calls = hook.calls;
        }
        // The data reaches the disk before the new file takes the target's
        // place, and the folder holds the rename after it.
        const auto at = [&](const char* call) { return std::find(calls.begin(), calls.end(), call) - calls.begin(); };
        EXPECT_LT(at("fsync"), at("rename"));
        EXPECT_LT(at("rename"), at("fsync folder"));
        EXPECT_LT(at("fsync folder"), static_cast<long>(calls.size()));

        for (std::size_t n = 1; n <= calls.size(); ++n) {
            SCOPED_TRACE(calls[n - 1]);
            temp_dir dir;
            const auto target = dir / "t.mst";
            write_file(target, "earlier");
            ::chmod(target.c_str(), 0600);
            hooked_calls hook(how, n, n % 2 ? EIO : ENOSPC);
            bool failed = false;
            try {
                sys::replace_file(target, writes("complete"));
            } catch (const std::system_error& e) {
                failed = true;
                EXPECT_EQ(e.code().value(), n % 2 ? EIO : ENOSPC);
                EXPECT_NE(std::string(e.what()).find(target.string()), std::string::npos) << e.what();
            }
            // Only the folder's flush may fail once the target is in place.
            EXPECT_EQ(failed, calls[n - 1] != "fsync folder");
            EXPECT_EQ(read_file(target), failed ? "earlier" : "complete");
            EXPECT_EQ(mode_of(target), 0600u);
            EXPECT_EQ(names_in(dir), std::set<std::string>{"t.mst"});
        }

        // The writer's own failure, half-way through.
        temp_dir dir;
        write_file(dir / "t.mst", "earlier");
        hooked_calls hook(how);
        EXPECT_THROW(sys::replace_file(dir / "t.mst",
                                       [](int fd) {
                                           writes("half")(fd);
                                           throw std::runtime_error("the writer gave up");
                                       }),
                     std::runtime_error);
        EXPECT_EQ(read_file(dir / "t.mst"), "earlier");
        EXPECT_EQ(names_in(dir), std::set<std::string>{"t.mst"});
    }
}

namespace {

// A file system of 64 KiB of its own, gone with the object.
class small_file_system {
public:
    explicit small_file_system(const std::filesystem::path& at) : at_(at) {
        mounted_ = ::mount("tmpfs", at.c_str(), "tmpfs", 0, "size=64k") == 0;
        if (!mounted_) error_ = std::strerror(errno);
    }
    ~small_file_system() {
        if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
    }
    small_file_system(const small_file_system&) = delete;
    small_file_system& operator=(const small_file_system&) = delete;
    bool mounted() const { return mounted_; }
    const std::string& error() const { return error_; }
    std::uint64_t free_blocks() const {
        struct statvfs st {};
        ::statvfs(at_.c_str(), &st);
        return st.f_bfree;
    }

private:
    std::filesystem::path at_;
    bool mounted_ = false;
    std::string error_;
};

}  // namespace

TEST(ReplaceFile, AFullDiskLeavesTheEarlierFileAndGivesItsSpaceBack) {
    temp_dir dir;
    small_file_system disk(dir.path());
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here (" << disk.error() << "); root can";
    for (way how : {way::unnamed, way::named}) {
        SCOPED_TRACE(name_of(how));
        write_file(dir / "t.mst", std::string(8192, 'e'));
        const auto free_before = disk.free_blocks();
        hooked_calls hook(how);
        try {
            sys::replace_file(dir / "t.mst", writes(std::string(256 * 1024, 'n')));
            ADD_FAILURE() << "256 KiB fitted into 64 KiB";
        } catch (const std::system_error& e) {
            EXPECT_EQ(e.code().value(), ENOSPC) << e.what();
        }
        EXPECT_EQ(read_file(dir / "t.mst"), std::string(8192, 'e'));
        EXPECT_EQ(names_in(dir), std::set<std::string>{"t.mst"});
        // No descriptor of the failed file stays open holding its blocks.
        EXPECT_EQ(disk.free_blocks(), free_before);
    }
}

TEST(WorkingCopy, IsReadByNoMoreThanItsPackage) {
    temp_dir dir;
    scoped_umask mask(022);
    const auto package = dir / "a.msi", copy = dir / "a_Tmp.msi";
    struct expectation {
        mode_t package, copy;
    };
    // Owner-only stays owner-only; a package anybody may write gives a copy
    // as the umask makes it; a read-only one a copy its owner can change.
    for (auto [package_mode, copy_mode] : {expectation{0600, 0600}, expectation{0666, 0644}, expectation{0400, 0600}}) {
        SCOPED_TRACE(package_mode);
        std::filesystem::remove(copy);
        write_file(package, "package bytes");
        ::chmod(package.c_str(), package_mode);
        auto lock = sys::locked_file::acquire(copy);
        ASSERT_TRUE(lock);
        ASSERT_TRUE(lock->copy_from(package));
        EXPECT_EQ(read_file(copy), "package bytes");
        EXPECT_EQ(mode_of(copy), copy_mode);
    }
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a package another group";
    // The copy of a package shared with a group is shared with that group only.
    std::filesystem::remove(copy);
    ::chmod(package.c_str(), 0640);
    ASSERT_EQ(::chown(package.c_str(), other_user, other_group), 0);
    auto lock = sys::locked_file::acquire(copy);
    ASSERT_TRUE(lock && lock->copy_from(package));
    EXPECT_EQ(status_of(copy).st_gid, other_group);
    EXPECT_EQ(mode_of(copy), 0640u);
    EXPECT_EQ(status_of(copy).st_uid, ::geteuid());
}
