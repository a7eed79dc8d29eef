#include "msi/sql/row_prefilter.h"

#include "msi/automation_error.h"
#include "msi/db/code_page.h"
#include "msi/db/package_database.h"
#include "msi/db/table.h"

#include <utility>

namespace msi {
namespace {

// Code pages in which two different byte strings never read as the same text,
// so that equal text means equal bytes. Double-byte code pages map some
// characters from two byte sequences.
bool bytes_follow_text(int code_page) {
    return code_page == 0 || code_page == 874 || (code_page >= 1250 && code_page <= 1258) || code_page == 65001;
}

const sql::value* constant(const sql::expression& e, const std::vector<sql::value>& params) {
    if (e.type == sql::expression::kind::literal) return &e.literal;
    if (e.type == sql::expression::kind::parameter && e.parameter >= 1 && e.parameter <= params.size())
        return &params[e.parameter - 1];
    return nullptr;
}

}  // namespace

row_prefilter::row_prefilter(const package_database& db, const table& t, const sql::condition* where,
                             const std::vector<sql::value>& params) {
    while (where && where->type == sql::condition::kind::both) where = where->first.get();
    if (!where || where->type != sql::condition::kind::compare || where->op != sql::comparison::equal) return;
    if (!bytes_follow_text(db.code_page())) return;
    const sql::expression* named = where->left.get();
    const sql::expression* other = where->right.get();
    if (named->type != sql::expression::kind::column) std::swap(named, other);
    if (named->type != sql::expression::kind::column) return;
    const sql::value* text = constant(*other, params);
    if (!text || text->type != sql::value::kind::string || text->text.empty()) return;
    const int index = t.column_index(named->column);
    if (index < 0 || t.columns()[static_cast<std::size_t>(index)].cell_kind() != column::kind::string) return;
    try {
        bytes_ = encode_code_page(text->text, db.code_page());
    } catch (const automation_error&) {
        return;  // the full comparison decides
    }
    table_ = &t;
    strings_ = &db.strings();
    column_ = static_cast<std::size_t>(index);
}

bool row_prefilter::admits(std::size_t row) const {
    if (!table_) return true;
    const std::uint32_t id = table_->cell(row, column_);
    if (id == null_cell) return false;  // NULL reads as '', which is never the non-empty text
    // A string the pool lacks is left to the full evaluation, which reports it.
    return !strings_->contains(id) || strings_->holds(id, bytes_);
}

}  // namespace msi
