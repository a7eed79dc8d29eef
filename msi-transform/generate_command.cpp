#include "commands.h"
#include "console.h"

#include "msi/automation.h"
#include "system/atomic_file.h"
#include "system/text_conversion.h"

#include <charconv>
#include <stdexcept>

namespace msi_transform {

int parse_number(const std::string& option, const std::string& text) {
    int base = 10;
    std::string_view digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    long value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty() || value < 0 || value > 0xFFFF)
        throw usage_error{option + " needs a number from 0 to 65535, not '" + text + "'"};
    return static_cast<int>(value);
}

// The transform replaces OUT in one step only when it is complete with its
// summary information, so a failure leaves OUT as it was.
int generate_command(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    int error_conditions = 0, validation = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--error-conditions" || a == "--validation") {
            if (i + 1 >= args.size()) throw usage_error{a + " needs a number"};
            (a == "--error-conditions" ? error_conditions : validation) = parse_number(a, args[++i]);
        } else if (a.rfind("--", 0) == 0) {
            throw usage_error{"unknown option " + a};
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 3) throw usage_error{"generate needs NEW.msi REFERENCE.msi OUT.mst"};

    msi::Installer installer;
    // File names stay the bytes they were given.
    auto target = installer.OpenDatabase(sys::from_fs_path(files[0]), msi::msiOpenDatabaseModeReadOnly);
    auto reference = installer.OpenDatabase(sys::from_fs_path(files[1]), msi::msiOpenDatabaseModeReadOnly);

    bool written = false;
    try {
        written =
            target->GenerateTransformWithSummary(reference, sys::from_fs_path(files[2]), error_conditions, validation);
    } catch (const std::exception& e) {
        throw std::runtime_error(sys::left_as_it_was(e.what(), files[2]));
    }
    if (!written) {
        write_err("msi-transform: no differences\n");
        return 1;
    }
    return 0;
}

}  // namespace msi_transform
