#include "msi/transform/validation.h"

#include "msi/automation_error.h"
#include "msi/db/code_page.h"
#include "msi/db/package_database.h"
#include "system/text_conversion.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace msi {
namespace {

std::string text_of(const summary_information& s, std::uint32_t id) {
    try {
        if (auto t = s.text(id)) return sys::utf16_to_utf8(*t);
    } catch (const automation_error&) {
        if (auto b = s.bytes(id)) return *b;
    }
    return {};
}

// "platform;language" into its two halves.
void split_template(const std::string& text, std::string& platform, std::string& language) {
    const auto semicolon = text.find(';');
    platform = text.substr(0, semicolon);
    language = semicolon == std::string::npos ? std::string() : text.substr(semicolon + 1);
}

// "{GUID}version": the braced code and what follows it.
void split_product(const std::string& text, std::string& code, std::string& version) {
    const auto close = text.find('}');
    if (!text.empty() && text[0] == '{' && close != std::string::npos) {
        code = text.substr(0, close + 1);
        version = text.substr(close + 1);
    } else {
        code = text.substr(0, std::min<std::size_t>(38, text.size()));
        version = text.size() > 38 ? text.substr(38) : std::string();
    }
}

std::optional<std::string> property(package_database& db, std::u16string_view name) {
    if (!db.has_table(u"Property")) return std::nullopt;
    table& t = db.get_table(u"Property");
    const int key = t.column_index(u"Property"), value = t.column_index(u"Value");
    if (key < 0 || value < 0) return std::nullopt;
    auto id = db.strings().find(name);
    if (!id) return std::nullopt;
    for (std::size_t row = 0; row < t.row_count(); ++row)
        if (t.cell(row, static_cast<std::size_t>(key)) == *id)
            return sys::utf16_to_utf8(db.cell_text(t, row, static_cast<std::size_t>(value)));
    return std::nullopt;
}

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Blank and "Intel" both name 32-bit x86 packages.
std::string platform_name(const std::string& p) {
    std::string u = upper(p);
    return u.empty() ? "INTEL" : u;
}

// The first `parts` fields of a dotted version; missing fields count as 0.
std::vector<long> version_fields(const std::string& text, int parts) {
    std::vector<long> fields;
    std::size_t at = 0;
    for (int i = 0; i < parts; ++i) {
        long v = 0;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])))
            v = std::min(v * 10 + (text[at++] - '0'), 0x7FFFFFFL);
        fields.push_back(v);
        if (at < text.size() && text[at] == '.')
            ++at;
        else
            at = text.size();
    }
    return fields;
}

std::string or_none(const std::optional<std::string>& v) { return v && !v->empty() ? *v : "none"; }

}  // namespace

std::vector<std::string> transform_validation_names(int validation) {
    static const char* const names[] = {"MSITRANSFORM_VALIDATE_LANGUAGE",
                                        "MSITRANSFORM_VALIDATE_PRODUCT",
                                        "MSITRANSFORM_VALIDATE_PLATFORM",
                                        "MSITRANSFORM_VALIDATE_MAJORVERSION",
                                        "MSITRANSFORM_VALIDATE_MINORVERSION",
                                        "MSITRANSFORM_VALIDATE_UPDATEVERSION",
                                        "MSITRANSFORM_VALIDATE_NEWLESSBASEVERSION",
                                        "MSITRANSFORM_VALIDATE_NEWLESSEQUALBASEVERSION",
                                        "MSITRANSFORM_VALIDATE_NEWEQUALBASEVERSION",
                                        "MSITRANSFORM_VALIDATE_NEWGREATEREQUALBASEVERSION",
                                        "MSITRANSFORM_VALIDATE_NEWGREATERBASEVERSION",
                                        "MSITRANSFORM_VALIDATE_UPGRADECODE"};
    std::vector<std::string> out;
    for (int bit = 0; bit < 16; ++bit) {
        if (!(validation >> bit & 1)) continue;
        if (bit < 12) {
            out.push_back(names[bit]);
        } else {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%04X", 1 << bit);
            out.push_back(hex);
        }
    }
    return out;
}

transform_identity read_transform_identity(const summary_information& summary) {
    transform_identity id;
    split_template(text_of(summary, summary_property::template_), id.base_platform, id.base_language);
    split_template(text_of(summary, summary_property::last_saved_by), id.new_platform, id.new_language);
    const std::string revision = text_of(summary, summary_property::revision_number);
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at; (at = revision.find(';', start)) != std::string::npos; start = at + 1)
        parts.push_back(revision.substr(start, at - start));
    parts.push_back(revision.substr(start));
    if (parts.size() > 0) split_product(parts[0], id.base_product_code, id.base_version);
    if (parts.size() > 1) split_product(parts[1], id.new_product_code, id.new_version);
    if (parts.size() > 2) id.upgrade_code = parts[2];
    if (auto count = summary.integer(summary_property::character_count)) {
        const auto bits = static_cast<std::uint32_t>(*count);
        id.has_flags = true;
        id.error_conditions = static_cast<int>(bits & 0xFFFF);
        id.validation = static_cast<int>(bits >> 16);
    }
    return id;
}

namespace {

// The package's language: its ProductLanguage property, or else the
// language its summary information's template names.
std::string package_language(package_database& package) {
    std::optional<std::string> language = property(package, u"ProductLanguage");
    if (language && !language->empty()) return *language;
    std::string platform, lang;
    split_template(text_of(summary_information::parse(package.summary_information()), summary_property::template_),
                   platform, lang);
    return lang;
}

void check_language(package_database& package, const transform_identity& id, std::vector<std::string>& reasons) {
    const std::string language = package_language(package);
    // The template may list several languages; 0 is any language.
    bool fits = id.base_language.empty();
    std::size_t start = 0;
    for (std::size_t end; !fits; start = end + 1) {
        end = id.base_language.find(',', start);
        const std::string one = id.base_language.substr(start, end == std::string::npos ? end : end - start);
        fits = one == "0" || one == language;
        if (end == std::string::npos) break;
    }
    if (!fits)
        reasons.push_back("The transform is for language " + id.base_language + "; the package's language is " +
                          (language.empty() ? std::string("not given") : language) + ".");
}

// A code property (ProductCode, UpgradeCode) against the one the transform
// names, without regard to case.
void check_code(package_database& package, std::u16string_view name, const std::string& wanted, const char* what,
                const char* package_what, std::vector<std::string>& reasons) {
    auto code = property(package, name);
    if (!code || upper(*code) != upper(wanted))
        reasons.push_back("The transform is for " + std::string(what) + " " +
                          (wanted.empty() ? std::string("(none given)") : wanted) + "; the package's " + package_what +
                          " is " + or_none(code) + ".");
}

void check_platform(package_database& package, const transform_identity& id, std::vector<std::string>& reasons) {
    std::string platform, lang;
    split_template(text_of(summary_information::parse(package.summary_information()), summary_property::template_),
                   platform, lang);
    if (platform_name(platform) != platform_name(id.base_platform))
        reasons.push_back("The transform is for the platform " +
                          (id.base_platform.empty() ? std::string("Intel") : id.base_platform) +
                          "; the package is for " + (platform.empty() ? std::string("Intel") : platform) + ".");
}

// The package's ProductVersion against the transform's base version: the
// part that `validation` names, in the relation it names (equal unless told).
void check_version(package_database& package, const transform_identity& id, int validation,
                   std::vector<std::string>& reasons) {
    const int relation =
        validation & (transform_validate_less | transform_validate_less_or_equal | transform_validate_equal |
                      transform_validate_greater_or_equal | transform_validate_greater);
    const int part = validation & (transform_validate_major_version | transform_validate_minor_version |
                                   transform_validate_update_version);
    if (!relation && !part) return;
    // The part compared: major; major and minor; or major, minor and update.
    const int parts = (part & transform_validate_major_version) ? 1 : (part & transform_validate_minor_version) ? 2 : 3;
    const char* const part_words[] = {"", "major version", "major and minor versions",
                                      "major, minor and update versions"};
    const int rel = relation ? relation : transform_validate_equal;
    const std::string version = property(package, u"ProductVersion").value_or("");
    const auto ours = version_fields(version, parts), base = version_fields(id.base_version, parts);
    bool fits = true;
    const char* words = "";
    if (rel & transform_validate_less) fits = fits && ours < base, words = "less than";
    if (rel & transform_validate_less_or_equal) fits = fits && ours <= base, words = "at most";
    if (rel & transform_validate_equal) fits = fits && ours == base, words = "equal to";
    if (rel & transform_validate_greater_or_equal) fits = fits && ours >= base, words = "at least";
    if (rel & transform_validate_greater) fits = fits && ours > base, words = "greater than";
    if (!fits)
        reasons.push_back("The transform asks for a package version " + std::string(words) + " " +
                          (id.base_version.empty() ? std::string("(none given)") : id.base_version) + " (" +
                          part_words[parts] + " compared); the package's version is " +
                          (version.empty() ? std::string("not given") : version) + ".");
}

}  // namespace

std::vector<std::string> validate_transform(package_database& package, const transform_identity& id, int validation) {
    std::vector<std::string> reasons;
    if (validation & transform_validate_language) check_language(package, id, reasons);
    if (validation & transform_validate_product)
        check_code(package, u"ProductCode", id.base_product_code, "product", "product code", reasons);
    if (validation & transform_validate_platform) check_platform(package, id, reasons);
    if (validation & transform_validate_upgrade_code)
        check_code(package, u"UpgradeCode", id.upgrade_code, "upgrade code", "upgrade code", reasons);
    check_version(package, id, validation, reasons);
    return reasons;
}

}  // namespace msi
