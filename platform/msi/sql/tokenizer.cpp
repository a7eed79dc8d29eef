#include "msi/sql/tokenizer.h"

#include "msi/automation_error.h"
#include "system/text_conversion.h"

#include <algorithm>

namespace msi::sql {

namespace {

bool is_space(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }
bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Names are letters, digits, underscores and periods; characters beyond
// ASCII count as letters so that localised names survive.
bool is_name_start(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' || c >= 0x80;
}
bool is_name_part(char16_t c) { return is_name_start(c) || is_digit(c) || c == u'.'; }

// The readers below fill `t` with the token that starts at sql[i] and
// return where the next one may start; text they cannot read becomes an
// invalid token.
std::size_t invalid(token& t, std::u16string_view text, token::flaw problem) {
    t.type = token::kind::invalid;
    t.text = text;
    t.problem = problem;
    return t.offset + text.size();
}

std::size_t read_quoted(std::u16string_view sql, std::size_t i, token& t) {
    const char16_t c = sql[i];
    // No escapes: the next quote of the same kind ends the literal,
    // so a quote inside a value ends it early.
    const std::size_t close = sql.find(c, i + 1);
    if (close == std::u16string_view::npos)
        return invalid(t, sql.substr(i),
                       c == u'\'' ? token::flaw::unterminated_string : token::flaw::unterminated_name);
    t.type = c == u'\'' ? token::kind::string : token::kind::quoted_name;
    t.text = sql.substr(i + 1, close - i - 1);
    if (t.type == token::kind::quoted_name && t.text.empty()) return invalid(t, u"``", token::flaw::empty_name);
    return close + 1;
}

std::size_t read_name_or_integer(std::u16string_view sql, std::size_t i, token& t) {
    std::size_t end = i;
    while (end < sql.size() && is_name_part(sql[end])) ++end;
    t.text = sql.substr(i, end - i);
    if (!is_digit(sql[i])) {
        t.type = token::kind::word;
    } else if (t.text.find_first_not_of(u"0123456789") != std::u16string_view::npos) {
        return invalid(t, t.text, token::flaw::unreadable);
    } else {
        t.type = token::kind::integer;
    }
    return end;
}

std::size_t read_symbol(std::u16string_view sql, std::size_t i, token& t) {
    const char16_t c = sql[i];
    t.type = token::kind::symbol;
    if (c == u'?') {
        t.type = token::kind::parameter;
        t.text = u"?";
    } else if (c == u'<' || c == u'>') {
        const char16_t next = i + 1 < sql.size() ? sql[i + 1] : 0;
        const bool pair = next == u'=' || (c == u'<' && next == u'>');
        t.text = sql.substr(i, pair ? 2 : 1);
    } else if (c == u'*' || c == u',' || c == u'(' || c == u')' || c == u'=' || c == u'-' || c == u'.') {
        t.text = sql.substr(i, 1);
    } else {
        return invalid(t, sql.substr(i, 1), token::flaw::unreadable);
    }
    return i + t.text.size();
}

}  // namespace

void syntax_error(const std::string& message) {
    throw automation_error(hresult_from_win32(ERROR_BAD_QUERY_SYNTAX), message);
}

std::string quoted_for_message(std::u16string_view text) {
    constexpr std::size_t limit = 40;
    const bool shortened = text.size() > limit;
    if (shortened) text = text.substr(0, limit);
    std::u16string shown(text);
    for (char16_t& c : shown)
        if (c < 0x20) c = u'?';  // keep messages on one line
    std::string out = "'" + sys::utf16_to_utf8(shown);
    out += shortened ? "...'" : "'";
    return out;
}

std::string invalid_token_message(const token& t) {
    switch (t.problem) {
    case token::flaw::unterminated_string:
        return "SQL syntax error: unterminated string starting at " + quoted_for_message(t.text);
    case token::flaw::unterminated_name:
        return "SQL syntax error: unterminated name starting at " + quoted_for_message(t.text);
    case token::flaw::empty_name: return "SQL syntax error: empty name ``";
    default: return "SQL syntax error near " + quoted_for_message(t.text);
    }
}

std::vector<token> tokenize(std::u16string_view sql) {
    std::vector<token> tokens;
    // About one token in four characters: a statement rarely grows the vector.
    tokens.reserve(std::min<std::size_t>(sql.size() / 4 + 2, 1024));
    std::size_t i = 0;
    while (i < sql.size()) {
        const char16_t c = sql[i];
        if (is_space(c)) {
            ++i;
            continue;
        }
        token t;
        t.offset = i;
        if (c == u'\'' || c == u'`')
            i = read_quoted(sql, i, t);
        else if (is_name_start(c) || is_digit(c))
            i = read_name_or_integer(sql, i, t);
        else
            i = read_symbol(sql, i, t);
        tokens.push_back(std::move(t));
        if (tokens.back().type == token::kind::invalid) break;
    }
    token end;
    end.offset = sql.size();
    tokens.push_back(end);
    return tokens;
}

}  // namespace msi::sql
