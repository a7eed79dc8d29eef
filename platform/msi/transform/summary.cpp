#include "msi/transform/summary.h"

#include "msi/automation_error.h"
#include "msi/db/code_page.h"
#include "msi/db/package_database.h"
#include "system/text_conversion.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string_view>
#include <optional>

namespace msi {
namespace {

// Security: read-only enforced, as every transform is.
constexpr std::int32_t security_read_only_enforced = 4;
constexpr char16_t creating_application[] = u"Windows Installer";

std::optional<std::u16string> property_value(package_database& db, std::u16string_view name) {
    if (!db.has_table(u"Property")) return std::nullopt;
    table& t = db.get_table(u"Property");
    int key = t.column_index(u"Property");
    int value = t.column_index(u"Value");
    if (key < 0 || value < 0) return std::nullopt;
    for (std::size_t row = 0; row < t.row_count(); ++row)
        if (db.cell_text(t, row, static_cast<std::size_t>(key)) == name)
            return db.cell_text(t, row, static_cast<std::size_t>(value));
    return std::nullopt;
}

std::u16string required_property(package_database& db, std::u16string_view name, const char* which) {
    auto v = property_value(db, name);
    if (!v || v->empty())
        throw automation_error(hresult_from_win32(ERROR_INSTALL_PACKAGE_INVALID),
                               std::string("The ") + which + " database has no " + sys::utf16_to_utf8(name) +
                                   " property; a transform needs it to identify the product.");
    return *v;
}

// Text in the set's code page; ASCII text in a code page no converter knows
// is stored as it is.
void set_text(summary_information& s, std::uint32_t id, const std::u16string& text) {
    try {
        s.set_text(id, text);
    } catch (const automation_error&) {
        s.set_bytes(id, sys::utf16_to_utf8(text));
    }
}

}  // namespace

std::uint64_t transform_summary_time() {
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (!epoch) return filetime_now();
    const std::string_view text(epoch);
    std::uint64_t seconds = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    constexpr std::uint64_t seconds_1601_to_1970 = 11644473600ULL;
    constexpr std::uint64_t ticks_per_second = 10'000'000ULL;
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
        seconds > UINT64_MAX / ticks_per_second - seconds_1601_to_1970)
        throw automation_error(E_INVALIDARG,
                               "SOURCE_DATE_EPOCH is not a number of seconds since 1970: '" + std::string(text) + "'");
    return (seconds + seconds_1601_to_1970) * ticks_per_second;
}

summary_information transform_summary(package_database& target, package_database& reference, int error_conditions,
                                      int validation, std::uint64_t now) {
    const std::u16string base_code = required_property(reference, u"ProductCode", "reference");
    const std::u16string base_version = required_property(reference, u"ProductVersion", "reference");
    const std::u16string new_code = required_property(target, u"ProductCode", "changed");
    const std::u16string new_version = required_property(target, u"ProductVersion", "changed");
    std::u16string upgrade_code = property_value(target, u"UpgradeCode").value_or(u"");
    if (upgrade_code.empty()) upgrade_code = property_value(reference, u"UpgradeCode").value_or(u"");

    const auto base = summary_information::parse(reference.summary_information());
    const auto changed = summary_information::parse(target.summary_information());

    summary_information s;
    s.set_code_page(base.code_page());
    for (std::uint32_t id : {summary_property::title, summary_property::subject, summary_property::author,
                             summary_property::keywords, summary_property::comments, summary_property::template_})
        if (auto b = base.bytes(id)) s.set_bytes(id, *b);

    // The platform and language the database has once transformed.
    if (auto t = changed.bytes(summary_property::template_)) {
        if (changed.code_page() == base.code_page()) {
            s.set_bytes(summary_property::last_saved_by, *t);
        } else {
            try {
                s.set_text(summary_property::last_saved_by, *changed.text(summary_property::template_));
            } catch (const automation_error&) {
                s.set_bytes(summary_property::last_saved_by, *t);
            }
        }
    }

    set_text(s, summary_property::revision_number,
             base_code + base_version + u";" + new_code + new_version + u";" + upgrade_code);
    s.set_filetime(summary_property::create_time, now);
    s.set_filetime(summary_property::last_save_time, now);
    auto pages = std::max(base.integer(summary_property::page_count), changed.integer(summary_property::page_count));
    if (pages) s.set_int32(summary_property::page_count, *pages);
    s.set_int32(summary_property::character_count,
                static_cast<std::int32_t>(static_cast<std::uint32_t>(validation & 0xFFFF) << 16 |
                                          static_cast<std::uint32_t>(error_conditions & 0xFFFF)));
    set_text(s, summary_property::creating_application, creating_application);
    s.set_int32(summary_property::security, security_read_only_enforced);
    return s;
}

}  // namespace msi
