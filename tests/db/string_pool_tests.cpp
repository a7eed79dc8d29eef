// The string pool on its own: save() patches the streams it produced last
// time, so after any sequence of changes its result must be byte for byte a
// fresh encode; ids, counts and lookups must follow a plain model of the pool.
#include "msi/db/string_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

// What the pool should hold: strings by id, counts, and the free ids below
// the limit (a new string takes the smallest).
struct model {
    std::map<std::uint32_t, std::pair<std::string, std::uint32_t>> used;
    std::map<std::string, std::uint32_t> ids;
    std::set<std::uint32_t> free;
    std::uint32_t limit = 1;

    std::uint32_t add(const std::string& s) {
        if (auto it = ids.find(s); it != ids.end()) return ++used[it->second].second, it->second;
        std::uint32_t id = limit;
        if (!free.empty())
            id = *free.begin(), free.erase(free.begin());
        else
            ++limit;
        used[id] = {s, 1};
        ids[s] = id;
        return id;
    }
    void set_count(std::uint32_t id, std::uint32_t count) {
        auto it = used.find(id);
        if (it == used.end()) return;
        if ((it->second.second = count) != 0) return;
        ids.erase(it->second.first);
        used.erase(it);
        free.insert(id);
    }
    void release(std::uint32_t id) {
        if (auto it = used.find(id); it != used.end()) set_count(id, it->second.second - 1);
    }
    // After a reload trailing free ids are gone, and counts are what a slot holds.
    void reloaded() {
        for (auto& [id, e] : used) e.second = std::min<std::uint32_t>(e.second, 0xFFFF);
        limit = used.empty() ? 1 : used.rbegin()->first + 1;
        free.erase(free.lower_bound(limit), free.end());
    }
};

void expect_saved_as_encoded(msi::string_pool& pool, const std::string& when) {
    const msi::string_pool::saved_streams saved = pool.save();
    const msi::string_pool::streams fresh = pool.encode();
    ASSERT_EQ(saved.pool, fresh.pool) << when;
    ASSERT_EQ(saved.data.joined(), fresh.data) << when;
}

void expect_matches(const msi::string_pool& pool, const model& m) {
    for (std::uint32_t id = 1; id < std::max(pool.id_limit(), m.limit); ++id) {
        auto it = m.used.find(id);
        ASSERT_EQ(pool.contains(id), it != m.used.end()) << "id " << id;
        if (it == m.used.end()) continue;
        ASSERT_EQ(pool.bytes(id), it->second.first) << "id " << id;
        ASSERT_EQ(pool.reference_count(id), it->second.second) << "id " << id;
        ASSERT_EQ(pool.find_bytes(it->second.first), id);
    }
}

std::string random_string(std::mt19937& rng) {
    // A small alphabet and short lengths: strings recur, and a freed id is
    // often reused for a different string of the same length.
    std::string s(std::uniform_int_distribution<int>(1, 6)(rng), 'a');
    for (char& c : s) c = static_cast<char>('a' + rng() % 3);
    if (rng() % 40 == 0) s += std::string(0x10000 + rng() % 300, 'L');  // two slots
    return s;
}

std::uint32_t random_used(std::mt19937& rng, const model& m) {
    if (m.used.empty()) return 1 + rng() % 4;
    auto it = m.used.begin();
    std::advance(it, rng() % m.used.size());
    return it->first;
}

// Steps of random changes, with a check of save() in every sixth. Without
// `reload_and_mark`, the pool is never reloaded and mark_saved() never called.
void random_changes(msi::string_pool& pool, model& m, std::mt19937& rng, int steps, const std::string& label,
                    bool reload_and_mark = true) {
    for (int step = 0; step < steps; ++step) {
        const std::string when = label + ", step " + std::to_string(step);
        const unsigned op = rng() % 100;
        if (op < 35) {
            const std::string s = random_string(rng);
            ASSERT_EQ(pool.add_reference_bytes(s), m.add(s)) << when;
        } else if (op < 45) {
            const std::uint32_t id = random_used(rng, m);
            if (!m.used.count(id)) continue;
            pool.add_reference(id);
            ++m.used[id].second;
        } else if (op < 70) {
            const std::uint32_t id = random_used(rng, m);
            pool.release(id);
            m.release(id);
        } else if (op < 75 && !m.used.empty()) {
            // The highest id goes: the streams get shorter.
            const std::uint32_t id = m.used.rbegin()->first;
            while (m.used.count(id)) pool.release(id), m.release(id);
        } else if (op < 78) {
            std::vector<std::uint32_t> counts(pool.id_limit(), 0);
            std::vector<std::pair<std::uint32_t, std::uint32_t>> changes;
            for (const auto& [id, e] : m.used) {
                const unsigned pick = rng() % 10;
                counts[id] = pick == 0 ? 0 : pick == 1 ? 70000 : pick < 5 ? 1 + rng() % 3 : e.second;
                changes.emplace_back(id, counts[id]);
            }
            for (auto [id, count] : changes) m.set_count(id, count);
            pool.set_reference_counts(counts);
        } else if (op < 80) {
            if (reload_and_mark) pool.mark_saved();
        } else if (op < 83) {
            if (!reload_and_mark) continue;
            const msi::string_pool::saved_streams saved = pool.save();
            pool = msi::string_pool::load(saved.pool, saved.data.joined());
            m.reloaded();
        } else {
            expect_saved_as_encoded(pool, when);
        }
        if (::testing::Test::HasFatalFailure()) return;
    }
    expect_matches(pool, m);
    expect_saved_as_encoded(pool, label + ", end");
}

}  // namespace

TEST(StringPool, IncrementalSaveEqualsAFreshEncode) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        std::mt19937 rng(seed);
        msi::string_pool pool(seed % 2 ? 0 : 1252);
        model m;
        random_changes(pool, m, rng, 1500, "seed " + std::to_string(seed));
        if (HasFatalFailure()) return;
    }
}

void grow_past_0xffff(msi::string_pool& pool, model& m, const std::string& prefix) {
    for (std::uint32_t k = 0; !pool.contains(0x10001); ++k) {
        const std::string s = prefix + std::to_string(k);
        ASSERT_EQ(pool.add_reference_bytes(s), m.add(s));
    }
}

void free_from_0xffff(msi::string_pool& pool, model& m) {
    for (std::uint32_t id = pool.id_limit(); id-- > 0xFFFF;)
        while (m.used.count(id)) pool.release(id), m.release(id);
}

TEST(StringPool, IncrementalSaveAcrossTheSwitchToThreeByteReferences) {
    std::mt19937 rng(7);
    msi::string_pool pool(65001);
    model m;
    random_changes(pool, m, rng, 300, "before");
    pool.mark_saved();
    ASSERT_EQ(pool.reference_width(), 2);

    // Past id 0xFFFF the header's 3-byte flag goes on, in the same save, and
    // off again once those ids are free...
    grow_past_0xffff(pool, m, "n");
    ASSERT_EQ(pool.reference_width(), 3);
    expect_saved_as_encoded(pool, "grown");
    random_changes(pool, m, rng, 300, "above 0xFFFF", false);
    free_from_0xffff(pool, m);
    expect_saved_as_encoded(pool, "shrunk");
    EXPECT_EQ(pool.reference_width(), 2);

    // ...unless the tables were stored with 3-byte references meanwhile.
    grow_past_0xffff(pool, m, "m");
    expect_saved_as_encoded(pool, "grown again");
    pool.mark_saved();
    random_changes(pool, m, rng, 300, "stored with 3 bytes");
    free_from_0xffff(pool, m);
    expect_saved_as_encoded(pool, "shrunk again");
    EXPECT_EQ(pool.reference_width(), 3);
    random_changes(pool, m, rng, 200, "after shrinking");
}

TEST(StringPool, DuplicatesInALoadedPoolKeepTheFirstId) {
    // Ids 1 and 3 hold "ab"; id 2 holds "c".
    const std::vector<std::uint8_t> stream{0, 0, 0, 0, 2, 0, 1, 0, 1, 0, 1, 0, 2, 0, 1, 0};
    msi::string_pool pool = msi::string_pool::load(stream, {'a', 'b', 'c', 'a', 'b'});
    EXPECT_EQ(pool.find_bytes("ab"), 1u);
    pool.release(3);  // the duplicate goes; the first stays found
    EXPECT_EQ(pool.find_bytes("ab"), 1u);
    EXPECT_EQ(pool.add_reference_bytes("ab"), 1u);
    EXPECT_EQ(pool.reference_count(1), 2u);
    EXPECT_EQ(pool.add_reference_bytes("d"), 3u);
    EXPECT_EQ(pool.find(u"c"), 2u);
}

TEST(StringPool, BytesStayValidWhileStringsAreAdded) {
    msi::string_pool pool;
    std::vector<std::pair<std::string_view, std::string>> seen;
    for (int k = 0; k < 20000; ++k) {
        const std::string s = std::to_string(k) + std::string(k % 50, 'x');
        seen.emplace_back(pool.bytes(pool.add_reference_bytes(s)), s);
    }
    for (const auto& [view, s] : seen) ASSERT_EQ(view, s);
}

TEST(StringPool, LookupsSurviveChurnInASmallIndex) {
    // Few strings in a small table: probe runs often wrap past its end, and
    // every free must leave the other strings findable.
    std::mt19937 rng(3);
    for (int round = 0; round < 200; ++round) {
        msi::string_pool pool;
        model m;
        for (int step = 0; step < 60; ++step) {
            if (rng() % 3 != 0 || m.used.empty()) {
                const std::string s = std::to_string(rng() % 24);
                ASSERT_EQ(pool.add_reference_bytes(s), m.add(s));
            } else {
                const std::uint32_t id = random_used(rng, m);
                pool.release(id);
                m.release(id);
            }
            expect_matches(pool, m);
            for (const auto& [s, id] : m.ids) ASSERT_EQ(pool.find_bytes(s), id);
            if (HasFatalFailure()) return;
        }
    }
}

TEST(StringPool, DataGenerationMovesWhenTheDataStreamChangesAndOnlyThen) {
    // A commit stores the data stream only when its generation moved, so a
    // change of bytes that kept the generation would be lost from the file.
    msi::string_pool pool(1252);
    const std::uint32_t alpha = pool.add_reference_bytes("alpha");
    const std::uint32_t beta = pool.add_reference_bytes("beta");
    auto save = [&] {
        std::vector<std::uint8_t> data = pool.save().data.joined();
        return std::make_pair(data, pool.data_generation());
    };
    auto [data, generation] = save();

    pool.add_reference(alpha);  // counts only
    pool.release(beta);
    pool.add_reference_bytes("beta");
    auto counts_only = save();
    EXPECT_EQ(counts_only.first, data);
    EXPECT_EQ(counts_only.second, generation);

    // Every kind of change to the bytes: a string added at the end, one freed
    // and its id taken by another of the same length, the last one freed.
    const std::vector<std::function<void()>> byte_changes{
        [&] { pool.add_reference_bytes("gamma"); },
        [&] {
            while (pool.contains(beta)) pool.release(beta);
            pool.add_reference_bytes("BETA");
        },
        [&] {
            const std::uint32_t last = pool.id_limit() - 1;
            while (pool.contains(last)) pool.release(last);
        },
    };
    for (std::size_t i = 0; i < byte_changes.size(); ++i) {
        byte_changes[i]();
        auto [now, now_generation] = save();
        EXPECT_NE(now, data) << i;
        EXPECT_GT(now_generation, generation) << i;
        data = now;
        generation = now_generation;
    }
}

// The edges of two encodings: a string of 0x10000 bytes or more needs a
// second slot for its length, and an id past 0xFFFF needs 3-byte references.
TEST(StringPool, LongSlotAndThreeByteWidthStartExactlyAtTheirEdges) {
    msi::string_pool pool(1252);
    const std::string shorter(0xFFFF, 'a'), edge(0x10000, 'b'), longer(0x10001, 'c');
    const std::uint32_t ids[] = {pool.add_reference_bytes(shorter), pool.add_reference_bytes(edge),
                                 pool.add_reference_bytes(longer)};
    msi::string_pool::streams s = pool.encode();
    EXPECT_EQ(s.pool.size(), 4u + 4 + 8 + 8);
    msi::string_pool back = msi::string_pool::load(std::move(s.pool), std::move(s.data));
    EXPECT_EQ(back.bytes(ids[0]), shorter);
    EXPECT_EQ(back.bytes(ids[1]), edge);
    EXPECT_EQ(back.bytes(ids[2]), longer);

    while (pool.id_limit() <= 0xFFFF) pool.add_reference_bytes("s" + std::to_string(pool.id_limit()));
    EXPECT_EQ(pool.reference_width(), 2);
    EXPECT_EQ(pool.add_reference_bytes("the first id past 0xFFFF"), 0x10000u);
    EXPECT_EQ(pool.reference_width(), 3);
}
