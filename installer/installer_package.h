#pragma once
// One package chosen by the administrator: the installer automation object,
// the package opened as the reference database, and a working copy beside it
// (<name>_Tmp<ext>) that receives every read and write. The package file is
// never written; the working copy is deleted when the object goes.
#include "msi/automation.h"
#include "system/locked_file.h"

#include <cstdint>
#include <memory>
#include <string>

class installer_package {
public:
    // Never raises: failures are shown in message boxes and leave the object
    // not open (see is_open).
    explicit installer_package(const std::u16string& path);
    ~installer_package();
    installer_package(const installer_package&) = delete;
    installer_package& operator=(const installer_package&) = delete;

    bool is_open() const;

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

    // Writes <package name>.mst beside the package (the difference from the
    // package to the working copy, with its summary information) and tells
    // the administrator the outcome in a message box. The object stays open.
    void generate_transform();

    const std::u16string& path() const { return package_path; }
    const std::u16string& working_copy() const { return copy_path; }

private:
    std::u16string read_single_value(const std::u16string& table, const std::u16string& sql);
    void run_update(const std::u16string& table, const std::u16string& sql, const std::u16string* bound_value);
    bool table_missing(const std::u16string& table) const;

    std::shared_ptr<msi::Installer> installer;
    std::shared_ptr<msi::Database> package_db;
    std::shared_ptr<msi::Database> copy_db;
    std::u16string package_path;
    std::u16string copy_path;
    std::unique_ptr<sys::locked_file> copy_lock;  // held while the working copy is this object's
};
