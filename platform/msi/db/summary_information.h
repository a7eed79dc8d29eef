#pragma once
// The summary information stream (`\005SummaryInformation`): one property
// set of numbered properties, read from a package and written into a
// transform. Strings are kept as the stored bytes in the set's code page
// (property 1); text accessors convert to and from UTF-16.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace msi {

// Property identifiers of the summary information set.
namespace summary_property {
inline constexpr std::uint32_t code_page = 1;
inline constexpr std::uint32_t title = 2;
inline constexpr std::uint32_t subject = 3;
inline constexpr std::uint32_t author = 4;
inline constexpr std::uint32_t keywords = 5;
inline constexpr std::uint32_t comments = 6;
inline constexpr std::uint32_t template_ = 7;
inline constexpr std::uint32_t last_saved_by = 8;
inline constexpr std::uint32_t revision_number = 9;
inline constexpr std::uint32_t last_printed = 11;
inline constexpr std::uint32_t create_time = 12;
inline constexpr std::uint32_t last_save_time = 13;
inline constexpr std::uint32_t page_count = 14;
inline constexpr std::uint32_t word_count = 15;
inline constexpr std::uint32_t character_count = 16;
inline constexpr std::uint32_t creating_application = 18;
inline constexpr std::uint32_t security = 19;
}  // namespace summary_property

// FILETIME: 100-nanosecond intervals since 1601-01-01 UTC.
std::uint64_t filetime_now();

class summary_information {
public:
    struct value {
        enum class kind { int16, int32, text, filetime } type = kind::int32;
        std::int32_t integer = 0;  // int16 / int32
        std::string bytes;         // text: stored bytes, no terminator
        std::uint64_t time = 0;    // filetime
    };

    // Parses a stream. Properties of other types are skipped. Raises
    // automation_error (ERROR_INSTALL_PACKAGE_INVALID) for a stream that is
    // truncated or points outside itself. An empty stream gives an empty set.
    static summary_information parse(const std::vector<std::uint8_t>& stream);
    // The stream as stored, properties in ascending order.
    std::vector<std::uint8_t> serialize() const;

    const std::map<std::uint32_t, value>& properties() const { return properties_; }
    const value* find(std::uint32_t id) const;
    void erase(std::uint32_t id) { properties_.erase(id); }

    // The code page of the text properties (property 1 read as unsigned
    // 16 bits; 0 when absent).
    int code_page() const;
    void set_code_page(int code_page);

    std::optional<std::int32_t> integer(std::uint32_t id) const;  // int16 or int32
    void set_int16(std::uint32_t id, std::int16_t v);
    void set_int32(std::uint32_t id, std::int32_t v);

    // Stored bytes of a text property.
    std::optional<std::string> bytes(std::uint32_t id) const;
    void set_bytes(std::uint32_t id, std::string bytes);
    // Text through the code page; a code page that cannot convert reads as
    // the neutral one.
    std::optional<std::u16string> text(std::uint32_t id) const;
    // Raises automation_error when the code page cannot hold the text.
    void set_text(std::uint32_t id, std::u16string_view text);

    std::optional<std::uint64_t> filetime(std::uint32_t id) const;
    void set_filetime(std::uint32_t id, std::uint64_t time);

private:
    std::map<std::uint32_t, value> properties_;
};

}  // namespace msi
