#include "msi/inspection.h"

#include "msi/db/summary_information.h"
#include "msi/transform/apply.h"
#include "msi/transform/deployment_recipe.h"
#include "msi/transform/reader.h"
#include "msi/transform/rebase.h"
#include "msi/transform/transform_file.h"
#include "msi/transform/validation.h"
#include "system/text_conversion.h"

#include <initializer_list>
#include <utility>

namespace msi::inspect {

namespace {

// A text property, "" when it is missing or unreadable: what can be read of
// a damaged summary is still shown.
std::string summary_text(const summary_information& s, std::uint32_t pid) {
    try {
        if (auto t = s.text(pid)) return sys::utf16_to_utf8(*t);
    } catch (const automation_error&) {}
    return {};
}

transform_summary summary_of(const transform_reader& mst) {
    transform_summary out;
    summary_information s;
    try {
        s = mst.summary();
    } catch (const automation_error& e) {
        out.unreadable = e.what();
    }
    out.title = summary_text(s, summary_property::title);
    out.subject = summary_text(s, summary_property::subject);
    out.creating_application = summary_text(s, summary_property::creating_application);
    out.code_page = mst.code_page();
    const transform_identity id = read_transform_identity(s);
    out.base_platform = id.base_platform;
    out.base_language = id.base_language;
    out.new_platform = id.new_platform;
    out.new_language = id.new_language;
    out.base_product_code = id.base_product_code;
    out.base_version = id.base_version;
    out.new_product_code = id.new_product_code;
    out.new_version = id.new_version;
    out.upgrade_code = id.upgrade_code;
    out.has_flags = id.has_flags;
    out.error_conditions = id.error_conditions;
    out.validation = id.validation;
    out.validation_names = transform_validation_names(id.validation);
    out.condition_names = transform_condition_names(id.error_conditions);
    return out;
}

// The public enumerations are copies of the rooms' own, taken over by value.
template <typename Public, typename Room>
constexpr bool same_order(std::initializer_list<std::pair<Public, Room>> pairs) {
    for (const auto& [p, r] : pairs)
        if (static_cast<int>(p) != static_cast<int>(r)) return false;
    return true;
}
using what = rebase_item::change;
using room_what = msi::rebase_item::change;
static_assert(same_order<what, room_what>({{what::code_page, room_what::code_page},
                                           {what::add_table, room_what::add_table},
                                           {what::drop_table, room_what::drop_table},
                                           {what::add_column, room_what::add_column},
                                           {what::add_row, room_what::add_row},
                                           {what::remove_row, room_what::remove_row},
                                           {what::change_cells, room_what::change_cells}}));
using outcome = rebase_item::outcome;
using room_outcome = msi::rebase_item::outcome;
static_assert(same_order<outcome, room_outcome>({{outcome::carried, room_outcome::carried},
                                                 {outcome::carried_over_change, room_outcome::carried_over_change},
                                                 {outcome::dropped, room_outcome::dropped},
                                                 {outcome::conflicting_add, room_outcome::conflicting_add}}));
using kind = rebase_value::kind;
using room_kind = msi::rebase_value::kind;
static_assert(same_order<kind, room_kind>({{kind::null, room_kind::null},
                                           {kind::integer, room_kind::integer},
                                           {kind::string, room_kind::string},
                                           {kind::binary, room_kind::binary}}));

rebase_value public_value(const msi::rebase_value& v) {
    rebase_value out;
    out.type = static_cast<rebase_value::kind>(v.type);
    out.integer = v.integer;
    out.text = v.text;
    out.binary_size = v.data.size();
    return out;
}

std::optional<rebase_value> public_value(const std::optional<msi::rebase_value>& v) {
    if (!v) return std::nullopt;
    return public_value(*v);
}

rebase_item public_item(const msi::rebase_item& i) {
    rebase_item out;
    out.what = static_cast<rebase_item::change>(i.what);
    out.result = static_cast<rebase_item::outcome>(i.result);
    out.table = i.table;
    out.key = i.key;
    out.column = i.column;
    for (const auto& c : i.cells)
        out.cells.push_back(
            {c.column, public_value(c.old_value), public_value(c.new_value), public_value(c.transform_value)});
    out.rows = i.rows;
    out.old_code_page = i.old_code_page;
    out.new_code_page = i.new_code_page;
    out.transform_code_page = i.transform_code_page;
    out.reason = i.reason;
    return out;
}

}  // namespace

transform_file::transform_file(const std::filesystem::path& path)
    : reader_(std::make_unique<const transform_reader>(path)), summary_(summary_of(*reader_)) {}

transform_file::~transform_file() = default;

deployment_recipe make_deployment_recipe(Database& package, const std::filesystem::path& transform,
                                         std::string_view package_as_given, std::string_view transform_as_given) {
    const msi::deployment_recipe r =
        msi::make_deployment_recipe(package.engine(), transform, package_as_given, transform_as_given);
    return {r.command_line,
            r.product_code,
            r.upgrade_code,
            r.product_version,
            r.product_name,
            r.public_properties,
            msi::deployment_recipe_text(r)};
}

rebase_report rebase_transform(const std::filesystem::path& old_package, const std::filesystem::path& transform,
                               const std::filesystem::path& new_package, const std::filesystem::path& out) {
    const rebase_result result = msi::rebase_transform(old_package, transform, new_package);
    if (result.content) write_transform_file(*result.content, &result.summary, out);
    rebase_report report;
    for (const auto& i : result.items) report.items.push_back(public_item(i));
    report.written = result.content.has_value();
    return report;
}

}  // namespace msi::inspect
