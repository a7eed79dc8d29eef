#pragma once
// Single values of one opened installer database: the Property, Registry and
// Control reads and the Property and Registry updates that the utility makes.
// Shared by the working copy of a chosen package (each update committed at
// once) and by a package whose changes are only held in memory.
#include "msi/automation.h"

#include <cstdint>
#include <memory>
#include <string>

class database_values {
public:
    // `commit_each_update`: commit the database after every update.
    database_values(std::shared_ptr<msi::Database> database, bool commit_each_update);

    // "" when the row, or the whole table, is missing. A failing engine call
    // raises msi::automation_error.
    std::u16string read_property(const std::u16string& name);
    std::u16string read_registry_value(const std::u16string& name);
    std::u16string read_control_text(const std::u16string& control);
    // Whether a row of that name exists (false too when the table is missing).
    bool has_property(const std::u16string& name);
    bool has_registry_value(const std::u16string& name);

    // Every row with that name is updated; a name (or table) the database
    // lacks changes nothing. A failure raises msi::automation_error.
    void set_property(const std::u16string& name, const std::u16string& value);
    void set_registry_value(const std::u16string& name, const std::u16string& value);
    void set_registry_number(const std::u16string& name, std::int32_t number);

private:
    std::u16string read_single_value(const std::u16string& table, const std::u16string& sql);
    void run_update(const std::u16string& table, const std::u16string& sql, const std::u16string* bound_value);
    bool table_missing(const std::u16string& table) const;

    std::shared_ptr<msi::Database> db_;
    bool commit_each_update_;
};
