#include "msi/sql/tokenizer.h"

#include "msi/automation_error.h"
#include "system/text_conversion.h"

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

namespace {

token invalid(std::size_t at, std::u16string_view text, std::string error) {
    token t;
    t.type = token::kind::invalid;
    t.offset = at;
    t.text = text;
    t.error = std::move(error);
    return t;
}

// A string literal or a quoted name. No escapes: the next quote of the same
// kind ends it, so a quote inside a value ends it early.
token read_quoted(std::u16string_view sql, std::size_t& i) {
    const char16_t quote = sql[i];
    const std::size_t close = sql.find(quote, i + 1);
    if (close == std::u16string_view::npos)
        return invalid(i, sql.substr(i),
                       std::string("SQL syntax error: unterminated ") + (quote == u'\'' ? "string" : "name") +
                           " starting at " + quoted_for_message(sql.substr(i)));
    token t;
    t.offset = i;
    t.type = quote == u'\'' ? token::kind::string : token::kind::quoted_name;
    t.text = sql.substr(i + 1, close - i - 1);
    if (t.type == token::kind::quoted_name && t.text.empty())
        return invalid(i, u"``", "SQL syntax error: empty name ``");
    i = close + 1;
    return t;
}

// A number or a name: a run of name characters, which for a number must be
// digits only.
token read_word(std::u16string_view sql, std::size_t& i) {
    std::size_t end = i;
    while (end < sql.size() && is_name_part(sql[end])) ++end;
    token t;
    t.offset = i;
    t.text = sql.substr(i, end - i);
    t.type = is_digit(sql[i]) ? token::kind::integer : token::kind::word;
    if (t.type == token::kind::integer && t.text.find_first_not_of(u"0123456789") != std::u16string_view::npos)
        return invalid(i, t.text, "SQL syntax error near " + quoted_for_message(t.text));
    i = end;
    return t;
}

token read_symbol(std::u16string_view sql, std::size_t& i) {
    const char16_t c = sql[i];
    token t;
    t.offset = i;
    if (c == u'?') {
        t.type = token::kind::parameter;
        t.text = u"?";
    } else if (c == u'<' || c == u'>') {
        const char16_t next = i + 1 < sql.size() ? sql[i + 1] : 0;
        const bool pair = next == u'=' || (c == u'<' && next == u'>');
        t.type = token::kind::symbol;
        t.text = sql.substr(i, pair ? 2 : 1);
    } else if (c == u'*' || c == u',' || c == u'(' || c == u')' || c == u'=' || c == u'-' || c == u'.') {
        t.type = token::kind::symbol;
        t.text = std::u16string(1, c);
    } else {
        return invalid(i, sql.substr(i, 1), "SQL syntax error near " + quoted_for_message(sql.substr(i, 1)));
    }
    i += t.text.size();
    return t;
}

}  // namespace

std::vector<token> tokenize(std::u16string_view sql) {
    std::vector<token> tokens;
    std::size_t i = 0;
    while (i < sql.size()) {
        const char16_t c = sql[i];
        if (is_space(c)) {
            ++i;
            continue;
        }
        if (c == u'\'' || c == u'`')
            tokens.push_back(read_quoted(sql, i));
        else if (is_digit(c) || is_name_start(c))
            tokens.push_back(read_word(sql, i));
        else
            tokens.push_back(read_symbol(sql, i));
        // An invalid token ends the list.
        if (tokens.back().type == token::kind::invalid) break;
    }
    token end;
    end.offset = sql.size();
    tokens.push_back(end);
    return tokens;
}

}  // namespace msi::sql
