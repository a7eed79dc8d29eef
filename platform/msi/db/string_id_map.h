#pragma once
// Translates string ids of one database's pool into the ids the same strings
// have in another pool with the same code page, so that rows of the two can
// be compared by their stored values. When one database began as a copy of
// the other, almost every id maps to itself.
#include <cstdint>
#include <vector>

namespace msi {

class string_pool;

class string_id_map {
public:
    // An id whose string the other pool lacks.
    static constexpr std::uint32_t absent = 0xFFFFFFFFu;

    string_id_map(const string_pool& from, const string_pool& to);

    // The id in `to` of the string that `id` names in `from`; 0 (the null
    // string) maps to 0.
    std::uint32_t operator()(std::uint32_t id);

private:
    static constexpr std::uint32_t unknown = 0xFFFFFFFEu;
    const string_pool& from_;
    const string_pool& to_;
    std::vector<std::uint32_t> mapped_;  // by id of `from`, filled on first use
};

}  // namespace msi
