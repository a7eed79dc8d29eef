#pragma once
// Splits an installer SQL statement into tokens. Internal to the SQL parser.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace msi::sql {

struct token {
    enum class kind {
        word,         // keyword or identifier, as written
        quoted_name,  // `identifier` (never a keyword)
        string,       // 'text', without the quotes
        integer,      // digits, unsigned; the parser applies a leading minus
        parameter,    // ?
        symbol,       // * , ( ) = <> < > <= >= -
        end
    } type = kind::end;
    std::u16string text;
    std::size_t offset = 0;  // position in the statement, for messages
};

// Raises automation_error (ERROR_BAD_QUERY_SYNTAX) for an unterminated
// string or back-quoted name and for characters the language has no use for.
std::vector<token> tokenize(std::u16string_view sql);

// The raise used for every statement the subset does not understand.
[[noreturn]] void syntax_error(const std::string& message);

// Text of a token or name for messages, as UTF-8 and shortened when long.
std::string quoted_for_message(std::u16string_view text);

}  // namespace msi::sql
