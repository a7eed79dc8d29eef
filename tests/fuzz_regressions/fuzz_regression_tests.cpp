// Every input the fuzzers found trouble with, kept under fuzz/corpus/<harness>/,
// goes through the harness's own entry again: a crash, sanitizer report or
// broken promise (the entries abort on those) fails the run. The seed
// packages, built by msibuild and wixl, go through every entry too, so the
// promises the entries check (commits read back exactly, transforms reopen,
// packages opened to read stay byte for byte the same) hold for real packages.
#include "entries/fuzz_entries.h"
#include "entries/scratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using entry_function = void (*)(const std::uint8_t*, std::size_t);

// The largest single allocation made while a watch lives (operator new is
// replaced below for the whole test program).
std::size_t largest_allocation = 0;
bool watching = false;

void note_allocation(std::size_t size) {
    if (watching && size > largest_allocation) largest_allocation = size;
}

class allocation_watch {
public:
    allocation_watch() {
        largest_allocation = 0;
        watching = true;
    }
    ~allocation_watch() { watching = false; }
    std::size_t largest() const { return largest_allocation; }
};

struct saved_input {
    std::string harness;
    fs::path file;
};

// How ctest and gtest name an input: its harness and file name.
void PrintTo(const saved_input& input, std::ostream* out) {
    *out << input.harness << '/' << input.file.filename().string();
}

entry_function entry_of(const std::string& harness) {
    if (harness == "open_package") return fuzz_entry::open_package;
    if (harness == "run_sql") return fuzz_entry::run_sql;
    if (harness == "commit_package") return fuzz_entry::commit_package;
    if (harness == "generate_transform") return fuzz_entry::generate_transform;
    if (harness == "apply_transform") return fuzz_entry::apply_transform;
    return nullptr;
}

std::string bytes_of(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct finding_raised : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Runs one input; a finding or any exception other than automation_error
// (which the entries catch themselves) fails the test with its message.
void feed(entry_function entry, const std::string& bytes) {
    fuzz_entry::set_finding_handler([](const std::string& what) { throw finding_raised(what); });
    try {
        entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    } catch (const finding_raised& e) {
        ADD_FAILURE() << "finding: " << e.what();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "exception escaped the engine: " << e.what();
    }
    fuzz_entry::set_finding_handler(nullptr);
}

std::vector<saved_input> saved_inputs() {
    std::vector<saved_input> inputs;
    const fs::path corpus = fs::path(QUORLIN_FUZZ_DIR) / "corpus";
    std::error_code ec;
    if (!fs::is_directory(corpus, ec)) return inputs;
    for (const auto& harness : fs::directory_iterator(corpus))
        if (harness.is_directory())
            for (const auto& file : fs::directory_iterator(harness.path()))
                if (file.is_regular_file()) inputs.push_back({harness.path().filename().string(), file.path()});
    std::sort(inputs.begin(), inputs.end(), [](const auto& a, const auto& b) { return a.file < b.file; });
    return inputs;
}

class saved_fuzz_input : public testing::TestWithParam<saved_input> {};

TEST_P(saved_fuzz_input, goes_through_its_harness_without_a_finding) {
    const entry_function entry = entry_of(GetParam().harness);
    ASSERT_NE(entry, nullptr) << "fuzz/corpus/" << GetParam().harness << " names no harness";
    feed(entry, bytes_of(GetParam().file));
}

std::string test_name(const testing::TestParamInfo<saved_input>& info) {
    std::string name = info.param.harness + "_" + info.param.file.filename().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(corpus, saved_fuzz_input, testing::ValuesIn(saved_inputs()), test_name);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(saved_fuzz_input);

class seed_inputs : public testing::Test {
protected:
    static void SetUpTestSuite() {
        seeds_ = fs::temp_directory_path() /
                 ("quorlin-fuzz-seeds-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
        const std::string command = "MSI_TRANSFORM='" MSI_TRANSFORM "' '" QUORLIN_FUZZ_DIR "/make-seeds.sh' '" +
                                    seeds_.string() + "' >/dev/null";
        built_ = std::system(command.c_str()) == 0;
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(seeds_, ec);
    }
    static std::vector<fs::path> files(const char* kind) {
        std::vector<fs::path> out;
        for (const auto& f : fs::directory_iterator(seeds_ / kind)) out.push_back(f.path());
        std::sort(out.begin(), out.end());
        return out;
    }
    static inline fs::path seeds_;
    static inline bool built_ = false;
};

TEST_F(seed_inputs, real_packages_open_commit_and_transform_as_the_entries_expect) {
    ASSERT_TRUE(built_) << "fuzz/make-seeds.sh failed";
    const auto packages = files("packages");
    ASSERT_GE(packages.size(), 6u);
    for (const auto& package : packages) {
        SCOPED_TRACE(package.filename().string());
        const std::string bytes = bytes_of(package);
        feed(fuzz_entry::open_package, bytes);
        feed(fuzz_entry::commit_package, bytes);
        feed(fuzz_entry::generate_transform, bytes);
    }
}

// Each 32-bit field of a real package in turn set to a huge or a sign-flipped
// value: sizes, counts, sector numbers, offsets and lengths read from the
// file must be checked against the file before anything is allocated for
// them, so no single allocation may outgrow the file by much.
TEST_F(seed_inputs, no_field_of_a_package_makes_the_engine_allocate_beyond_the_file) {
    ASSERT_TRUE(built_) << "fuzz/make-seeds.sh failed";
    const std::string package = bytes_of(seeds_ / "packages" / "program.msi");
    ASSERT_GT(package.size(), 2048u);
    const std::size_t bound = 16 * package.size() + (1u << 20);
    std::size_t worst = 0, worst_offset = 0;
    for (std::size_t offset = 0; offset + 4 <= package.size(); offset += 4) {
        for (std::uint32_t value : {0xFFFFFFF0u, 0x7FFFFFFFu}) {
            std::string damaged = package;
            for (int k = 0; k < 4; ++k) damaged[offset + k] = static_cast<char>(value >> (8 * k));
            allocation_watch watch;
            feed(fuzz_entry::open_package, damaged);
            if (watch.largest() > worst) worst = watch.largest(), worst_offset = offset;
        }
    }
    EXPECT_GT(worst, 0u) << "the allocation watch saw nothing";
    EXPECT_LE(worst, bound) << "an allocation of " << worst << " bytes after damage at offset " << worst_offset;
}

// Our own transforms between the seed packages: applied, refused whole, or
// committed and read back, as the entry checks.
TEST_F(seed_inputs, transforms_apply_or_are_refused_whole) {
    ASSERT_TRUE(built_) << "fuzz/make-seeds.sh failed";
    const auto transforms = files("transforms");
    ASSERT_GE(transforms.size(), 5u);
    for (const auto& transform : transforms) {
        SCOPED_TRACE(transform.filename().string());
        feed(fuzz_entry::apply_transform, bytes_of(transform));
    }
}

TEST_F(seed_inputs, statements_run_against_the_sql_package) {
    ASSERT_TRUE(built_) << "fuzz/make-seeds.sh failed";
    for (const auto& statements : files("sql")) feed(fuzz_entry::run_sql, bytes_of(statements));
}

}  // namespace

// Every allocation passes note_allocation: under AddressSanitizer through its
// allocation hook, otherwise through a replaced operator new.
#if defined(__SANITIZE_ADDRESS__)
#define QUORLIN_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORLIN_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef QUORLIN_ADDRESS_SANITIZER
// From the sanitizer runtime's allocator interface (GCC ships no header for it).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, std::size_t),
                                                         void (*free_hook)(const volatile void*));

namespace {
void on_malloc(const volatile void*, std::size_t size) { note_allocation(size); }
void on_free(const volatile void*) {}
const int hooks_installed = __sanitizer_install_malloc_and_free_hooks(on_malloc, on_free);
}  // namespace
#else
// The replacements pair malloc with free; GCC cannot see that across them.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    note_allocation(size);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#endif
