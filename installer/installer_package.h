#pragma once
// One package chosen by the administrator: the installer automation object,
// the package opened as the reference database, and a working copy beside it
// (<name>_Tmp<ext>) that receives every read and write. The package file is
// never written; the working copy is deleted when the object goes.
#include "installer/database_values.h"
#include "msi/automation.h"
#include "system/locked_file.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class installer_package {
public:
    // What opening came to: every step that can fail has its own value.
    enum class open_outcome {
        opened,
        no_installer,           // the automation object could not be created
        package_in_use,         // opening the package raised an error
        package_not_opened,     // opening the package gave no database
        copy_not_opened,        // the working copy could not be made or opened
        code_page_unsupported,  // the package's code page cannot be read; see failure_text
    };
    enum class transform_outcome {
        created,
        failed,
        file_changed,  // another program changed the package or the copy; see failure_text
    };

    // Never raises: a failed step leaves the object not open (see is_open)
    // and is reported by opening().
    explicit installer_package(const std::u16string& path);
    ~installer_package();
    installer_package(const installer_package&) = delete;
    installer_package& operator=(const installer_package&) = delete;

    bool is_open() const;
    open_outcome opening() const { return opening_; }
    // The engine's own text for the last outcome that has one
    // (code_page_unsupported, file_changed; for a transform that failed, its
    // reason and that the earlier file was left as it was), naming the file.
    const std::u16string& failure_text() const { return failure_text_; }
    // Why opening failed, where it is known (not a Windows Installer package,
    // open in another window of this program, a folder that cannot be
    // written, the engine's own reason); empty otherwise.
    const std::u16string& open_reason() const { return open_reason_; }
    // True when the package's folder could not take the working copy, so it
    // was made in the user's private temporary folder instead.
    bool copy_elsewhere() const { return copy_elsewhere_; }

    // Single values of the working copy; "" when the row, or the whole table,
    // is missing. A failing engine call raises msi::automation_error.
    std::u16string read_property(const std::u16string& name);
    std::u16string read_registry_value(const std::u16string& name);
    std::u16string read_control_text(const std::u16string& control);

    // Each update is committed to the working copy at once. An update of a
    // name (or table) the package lacks changes nothing. Always true when it
    // returns; a failure raises msi::automation_error.
    bool set_property(const std::u16string& name, const std::u16string& value);
    bool set_registry_value(const std::u16string& name, const std::u16string& value);
    bool set_registry_number(const std::u16string& name, std::int32_t number);

    // Applies a transform written earlier to the working copy (not committed
    // until the next update or transform). Raises std::runtime_error with one
    // line that says why it does not fit, or msi::automation_error when it
    // cannot be read or applied; the copy's tables are then as they were.
    // `checked` false applies a transform that does not fit (the
    // administrator chose to), still refusing one that does not apply.
    void apply_transform(const std::u16string& transform, bool checked = true);
    // Why a transform was made for another product or version; empty when it
    // fits. Raises msi::automation_error when it cannot be read.
    std::vector<std::string> transform_misfits(const std::u16string& transform);

    // Writes <package name>.mst beside the package, or `target` when given
    // (the difference from the package to the working copy, with its summary
    // information). Never raises; the object stays open either way. A failure
    // leaves its reason in failure_text.
    transform_outcome generate_transform(const std::u16string& target = {});

    // The working copy's values, for the settings map. Raises
    // msi::automation_error when the package is not open.
    database_values& values();

    const std::u16string& path() const { return package_path; }
    // Where generate_transform writes.
    std::u16string transform_path() const;
    const std::u16string& working_copy() const { return copy_path; }

private:
    std::shared_ptr<msi::Installer> installer;
    std::shared_ptr<msi::Database> package_db;
    std::shared_ptr<msi::Database> copy_db;
    std::unique_ptr<database_values> copy_values;
    std::u16string package_path;
    std::u16string copy_path;
    std::unique_ptr<sys::locked_file> copy_lock;  // held while the working copy is this object's
    open_outcome opening_ = open_outcome::opened;
    std::u16string failure_text_;
    std::u16string open_reason_;
    bool copy_elsewhere_ = false;

    void make_working_copy();
    void drop_working_copy();
};
