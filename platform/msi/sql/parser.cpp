// Recursive-descent parser for the installer's SQL.
//
//   statement  := select | update | insert | delete | create | alter | drop
//   select     := SELECT [DISTINCT] ( '*' | column {',' column} ) FROM name {',' name}
//                 [WHERE or_cond] [ORDER BY column {',' column}]
//   update     := UPDATE name SET column '=' value {',' column '=' value} [WHERE or_cond]
//   insert     := INSERT INTO name '(' column {',' column} ')' VALUES '(' value {',' value} ')' [TEMPORARY]
//   delete     := DELETE FROM name [WHERE or_cond]
//   create     := CREATE TABLE name '(' coldef {',' coldef} PRIMARY KEY column {',' column} ')' [HOLD]
//   alter      := ALTER TABLE name ( ADD coldef [HOLD] | HOLD | FREE )
//   drop       := DROP TABLE name
//   coldef     := name type [NOT NULL] [TEMPORARY | LOCALIZABLE]
//   type       := CHAR ['(' integer ')'] | CHARACTER ['(' integer ')'] | LONGCHAR | SHORT | INT | INTEGER
//                 | LONG | OBJECT
//   or_cond    := and_cond {OR and_cond}
//   and_cond   := primary {AND primary}
//   primary    := '(' or_cond ')' | operand IS [NOT] NULL | operand compare operand
//   operand    := column | value
//   column     := name ['.' name]
//   value      := 'string' | ['-'] integer | NULL | ?
#include "msi/sql/parser.h"

#include "msi/automation_error.h"
#include "msi/sql/tokenizer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

namespace msi::sql {

namespace {

bool same_word(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'a' && x <= u'z') x -= 0x20;
        if (y >= u'a' && y <= u'z') y -= 0x20;
        if (x != y) return false;
    }
    return true;
}

// Words with a meaning of their own: they are names only when back-quoted.
// Words that matter only at one place (ORDER, PRIMARY, the type names...)
// stay usable as names elsewhere, so that `SELECT Key FROM Registry` reads.
constexpr std::array<std::u16string_view, 15> keywords = {u"SELECT", u"FROM",   u"WHERE",  u"UPDATE", u"SET",
                                                          u"AND",    u"OR",     u"IS",     u"NOT",    u"NULL",
                                                          u"INSERT", u"DELETE", u"CREATE", u"DROP",   u"DISTINCT"};

// Parts of other SQL dialects that the installer's leaves out; met
// anywhere, they are named in the message rather than reported as noise.
constexpr std::array<std::u16string_view, 2> unsupported = {u"JOIN", u"LIKE"};

// Columns a table may have.
constexpr std::size_t max_columns = 32;

std::string upper_ascii(std::u16string_view word) {
    std::string out;
    for (char16_t c : word) out += static_cast<char>(c >= u'a' && c <= u'z' ? c - 0x20 : c);
    return out;
}

class parser {
public:
    explicit parser(std::u16string_view sql) : tokens_(tokenize(sql)) {}

    statement parse_statement() {
        if (at_word(u"SELECT")) return parse_select();
        if (at_word(u"UPDATE")) return parse_update();
        if (at_word(u"INSERT")) return parse_insert();
        if (at_word(u"DELETE")) return parse_delete();
        if (at_word(u"CREATE")) return parse_create();
        if (at_word(u"ALTER")) return parse_alter();
        if (at_word(u"DROP")) return parse_drop();
        if (current().type == token::kind::end) syntax_error("SQL syntax error: empty statement");
        fail();
    }

private:
    std::vector<token> tokens_;
    std::size_t pos_ = 0;
    std::size_t parameters_ = 0;
    std::size_t open_parentheses_ = 0;

    [[noreturn]] static void too_deep() {
        syntax_error("SQL condition nested more than " + std::to_string(max_condition_depth) + " levels deep");
    }

    const token& current() const { return tokens_[pos_]; }

    bool at_word(std::u16string_view word) const {
        return current().type == token::kind::word && same_word(current().text, word);
    }
    bool at_symbol(std::u16string_view symbol) const {
        return current().type == token::kind::symbol && current().text == symbol;
    }
    bool accept_word(std::u16string_view word) {
        if (!at_word(word)) return false;
        ++pos_;
        return true;
    }
    bool accept_symbol(std::u16string_view symbol) {
        if (!at_symbol(symbol)) return false;
        ++pos_;
        return true;
    }
    void expect_word(std::u16string_view word) {
        if (!accept_word(word)) fail();
    }
    void expect_symbol(std::u16string_view symbol) {
        if (!accept_symbol(symbol)) fail();
    }

    // Reports the current token as the place where understanding stopped.
    [[noreturn]] void fail() const {
        const token& t = current();
        if (t.type == token::kind::end) syntax_error("SQL syntax error: unexpected end of statement");
        if (t.type == token::kind::invalid) syntax_error(invalid_token_message(t));
        if (t.type == token::kind::word) {
            for (auto word : unsupported)
                if (same_word(t.text, word)) syntax_error(upper_ascii(word) + " is not supported");
        }
        std::u16string shown(t.text);
        if (t.type == token::kind::string) shown = u"'" + shown + u"'";
        if (t.type == token::kind::quoted_name) shown = u"`" + shown + u"`";
        syntax_error("SQL syntax error near " + quoted_for_message(shown));
    }

    void expect_end() {
        if (current().type != token::kind::end) fail();
    }

    bool at_name() const {
        if (current().type == token::kind::quoted_name) return true;
        if (current().type != token::kind::word) return false;
        for (auto word : keywords)
            if (same_word(current().text, word)) return false;
        for (auto word : unsupported)
            if (same_word(current().text, word)) return false;
        return true;
    }

    std::u16string name() {
        if (!at_name()) fail();
        return std::u16string(tokens_[pos_++].text);
    }

    // A column, qualified by its table or not.
    std::u16string column_name() {
        std::u16string n = name();
        if (accept_symbol(u".")) (n += u'.') += name();
        return n;
    }

    std::vector<std::u16string> column_list() {
        std::vector<std::u16string> columns;
        columns.reserve(4);  // most lists are short: one allocation
        do {
            columns.push_back(column_name());
        } while (accept_symbol(u","));
        return columns;
    }

    statement parse_select() {
        ++pos_;
        select_statement s;
        s.distinct = accept_word(u"DISTINCT");
        if (!accept_symbol(u"*")) s.columns = column_list();
        expect_word(u"FROM");
        s.tables.push_back(name());
        while (accept_symbol(u",")) s.tables.push_back(name());
        if (accept_word(u"WHERE")) s.where = parse_or();
        if (accept_word(u"ORDER")) {
            expect_word(u"BY");
            s.order_by = column_list();
        }
        expect_end();
        return s;
    }

    statement parse_update() {
        ++pos_;
        update_statement s;
        s.table = name();
        expect_word(u"SET");
        do {
            assignment a;
            a.column = column_name();
            expect_symbol(u"=");
            a.value = parse_value();
            if (!a.value) fail();
            s.assignments.push_back(std::move(a));
        } while (accept_symbol(u","));
        if (accept_word(u"WHERE")) s.where = parse_or();
        expect_end();
        return s;
    }

    statement parse_insert() {
        ++pos_;
        insert_statement s;
        expect_word(u"INTO");
        s.table = name();
        expect_symbol(u"(");
        s.columns = column_list();
        expect_symbol(u")");
        expect_word(u"VALUES");
        expect_symbol(u"(");
        s.values.reserve(s.columns.size());
        do {
            auto v = parse_value();
            if (!v) fail();
            s.values.push_back(std::move(v));
        } while (accept_symbol(u","));
        expect_symbol(u")");
        s.temporary = accept_word(u"TEMPORARY");
        expect_end();
        if (s.values.size() != s.columns.size())
            syntax_error("SQL syntax error: INSERT names " + std::to_string(s.columns.size()) +
                         " column(s) but gives " + std::to_string(s.values.size()) + " value(s)");
        return s;
    }

    statement parse_delete() {
        ++pos_;
        delete_statement s;
        expect_word(u"FROM");
        s.table = name();
        if (accept_word(u"WHERE")) s.where = parse_or();
        expect_end();
        return s;
    }

    // The `Type` word of `_Columns` for a declared type: strings carry their
    // width (0 for LONGCHAR and a bare CHAR), 0x400 marks the column types
    // other than LONG and OBJECT, and every column is nullable unless NOT NULL.
    column_definition parse_column_definition() {
        column_definition c;
        c.name = name();
        std::uint16_t type = 0;
        if (accept_word(u"CHAR") || accept_word(u"CHARACTER")) {
            type = 0x0800 | 0x0400;
            if (accept_symbol(u"(")) {
                if (current().type != token::kind::integer) fail();
                const std::int32_t width = parse_integer(current().text, false);
                if (width > 255) syntax_error("SQL syntax error: a string column is at most 255 characters wide");
                ++pos_;
                type |= static_cast<std::uint16_t>(width);
                expect_symbol(u")");
            }
        } else if (accept_word(u"LONGCHAR")) {
            type = 0x0800 | 0x0400;
        } else if (accept_word(u"SHORT") || accept_word(u"INT") || accept_word(u"INTEGER")) {
            type = 0x0400 | 2;
        } else if (accept_word(u"LONG")) {
            type = 4;
        } else if (accept_word(u"OBJECT")) {
            type = 0x0800 | 0x0100;
        } else {
            fail();
        }
        if (accept_word(u"NOT")) {
            expect_word(u"NULL");
        } else {
            type |= 0x1000;
        }
        if (accept_word(u"TEMPORARY")) {
            type |= 0x4000;
            c.temporary = true;
        } else if (accept_word(u"LOCALIZABLE")) {
            type |= 0x0200;
        }
        c.type = type | 0x0100;
        return c;
    }

    statement parse_create() {
        ++pos_;
        create_statement s;
        expect_word(u"TABLE");
        s.table = name();
        expect_symbol(u"(");
        do {
            column_definition c = parse_column_definition();
            for (const auto& earlier : s.columns)
                if (earlier.name == c.name)
                    syntax_error("SQL syntax error: column " + quoted_for_message(c.name) + " is declared twice");
            s.columns.push_back(std::move(c));
            if (s.columns.size() > max_columns)
                syntax_error("SQL syntax error: a table has at most " + std::to_string(max_columns) + " columns");
        } while (accept_symbol(u","));
        expect_word(u"PRIMARY");
        expect_word(u"KEY");
        for (const std::u16string& key : column_list()) {
            auto it = std::find_if(s.columns.begin(), s.columns.end(), [&](const auto& c) { return c.name == key; });
            if (it == s.columns.end())
                syntax_error("SQL syntax error: the primary key " + quoted_for_message(key) +
                             " is not a declared column");
            if (it->type & 0x2000)
                syntax_error("SQL syntax error: the primary key names " + quoted_for_message(key) + " twice");
            it->type |= 0x2000;
        }
        expect_symbol(u")");
        s.hold = accept_word(u"HOLD");
        expect_end();
        return s;
    }

    statement parse_alter() {
        ++pos_;
        alter_statement s;
        expect_word(u"TABLE");
        s.table = name();
        if (accept_word(u"ADD")) {
            s.what = alter_statement::action::add;
            s.added = parse_column_definition();
            s.hold = accept_word(u"HOLD");
        } else if (accept_word(u"HOLD")) {
            s.what = alter_statement::action::hold;
        } else {
            expect_word(u"FREE");
            s.what = alter_statement::action::free;
        }
        expect_end();
        return s;
    }

    statement parse_drop() {
        ++pos_;
        drop_statement s;
        expect_word(u"TABLE");
        s.table = name();
        expect_end();
        return s;
    }

    std::unique_ptr<condition> parse_or() {
        auto left = parse_and();
        while (accept_word(u"OR")) left = combine(condition::kind::either, std::move(left), parse_and());
        return left;
    }

    std::unique_ptr<condition> parse_and() {
        auto left = parse_primary();
        while (accept_word(u"AND")) left = combine(condition::kind::both, std::move(left), parse_primary());
        return left;
    }

    static std::unique_ptr<condition> combine(condition::kind type, std::unique_ptr<condition> first,
                                              std::unique_ptr<condition> second) {
        auto c = std::make_unique<condition>();
        c->type = type;
        c->depth = 1 + std::max(first->depth, second->depth);
        if (c->depth > max_condition_depth) too_deep();
        c->first = std::move(first);
        c->second = std::move(second);
        return c;
    }

    std::unique_ptr<condition> parse_primary() {
        if (accept_symbol(u"(")) {
            if (++open_parentheses_ >= max_condition_depth) too_deep();
            auto inner = parse_or();
            expect_symbol(u")");
            --open_parentheses_;
            return inner;
        }
        auto c = std::make_unique<condition>();
        c->left = parse_operand();
        if (accept_word(u"IS")) {
            c->type = accept_word(u"NOT") ? condition::kind::is_not_null : condition::kind::is_null;
            expect_word(u"NULL");
            return c;
        }
        c->type = condition::kind::compare;
        c->op = parse_comparison();
        c->right = parse_operand();
        return c;
    }

    comparison parse_comparison() {
        static constexpr std::pair<std::u16string_view, comparison> ops[] = {
            {u"=", comparison::equal},   {u"<>", comparison::not_equal},  {u"<", comparison::less},
            {u">", comparison::greater}, {u"<=", comparison::less_equal}, {u">=", comparison::greater_equal}};
        for (const auto& [symbol, op] : ops)
            if (accept_symbol(symbol)) return op;
        fail();
    }

    std::unique_ptr<expression> parse_operand() {
        if (at_name()) {
            auto e = std::make_unique<expression>();
            e->type = expression::kind::column;
            e->column = column_name();
            return e;
        }
        auto e = parse_value();
        if (!e) fail();
        return e;
    }

    // A constant or a parameter; null when the current token is neither.
    std::unique_ptr<expression> parse_value() {
        auto e = std::make_unique<expression>();
        const token& t = current();
        if (t.type == token::kind::parameter) {
            e->type = expression::kind::parameter;
            e->parameter = ++parameters_;
        } else if (t.type == token::kind::string) {
            // The installer stores an empty string as null.
            if (!t.text.empty()) e->literal = {value::kind::string, 0, std::u16string(t.text)};
        } else if (at_word(u"NULL")) {
        } else if (t.type == token::kind::integer || at_symbol(u"-")) {
            const bool negative = accept_symbol(u"-");
            if (current().type != token::kind::integer) fail();
            e->literal = {value::kind::integer, parse_integer(current().text, negative), {}};
        } else {
            return nullptr;
        }
        ++pos_;
        return e;
    }

    static std::int32_t parse_integer(std::u16string_view digits, bool negative) {
        const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
        std::int64_t n = 0;
        for (char16_t d : digits) {
            n = n * 10 + (d - u'0');
            if (n > limit)
                syntax_error("SQL integer out of range: " +
                             quoted_for_message((negative ? u"-" : u"") + std::u16string(digits)));
        }
        return static_cast<std::int32_t>(negative ? -n : n);
    }
};

void count_parameters(const expression* e, std::size_t& n) {
    if (e && e->type == expression::kind::parameter && e->parameter > n) n = e->parameter;
}

void count_parameters(const condition* c, std::size_t& n) {
    if (!c) return;
    count_parameters(c->left.get(), n);
    count_parameters(c->right.get(), n);
    count_parameters(c->first.get(), n);
    count_parameters(c->second.get(), n);
}

void collect_columns(const expression* e, std::vector<std::u16string>& out) {
    if (!e || e->type != expression::kind::column) return;
    for (const auto& seen : out)
        if (seen == e->column) return;
    out.push_back(e->column);
}

void collect_columns(const condition* c, std::vector<std::u16string>& out) {
    if (!c) return;
    collect_columns(c->left.get(), out);
    collect_columns(c->right.get(), out);
    collect_columns(c->first.get(), out);
    collect_columns(c->second.get(), out);
}

}  // namespace

statement parse(std::u16string_view sql) { return parser(sql).parse_statement(); }

std::vector<std::u16string> referenced_columns(const condition& where) {
    std::vector<std::u16string> columns;
    collect_columns(&where, columns);
    return columns;
}

std::size_t parameter_count(const statement& s) {
    std::size_t n = 0;
    if (const auto* select = std::get_if<select_statement>(&s)) {
        count_parameters(select->where.get(), n);
    } else if (const auto* update = std::get_if<update_statement>(&s)) {
        for (const auto& a : update->assignments) count_parameters(a.value.get(), n);
        count_parameters(update->where.get(), n);
    } else if (const auto* insert = std::get_if<insert_statement>(&s)) {
        for (const auto& v : insert->values) count_parameters(v.get(), n);
    } else if (const auto* remove = std::get_if<delete_statement>(&s)) {
        count_parameters(remove->where.get(), n);
    }
    return n;
}

}  // namespace msi::sql
