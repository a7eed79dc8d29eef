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
        symbol,       // * , ( ) = <> < > <= >= - .
        invalid,      // text the language cannot read; always the last before end
        end
    } type = kind::end;
    // kind::invalid: what is wrong with it (invalid_token_message words it).
    enum class flaw : unsigned char {
        none,
        unterminated_string,
        unterminated_name,
        empty_name,
        unreadable
    } problem = flaw::none;
    std::u16string_view text;  // a piece of the statement, which outlives its tokens
    std::size_t offset = 0;    // position in the statement, for messages
};

// Never raises: an unterminated string or back-quoted name, or a character
// the language has no use for, becomes an invalid token that ends the list,
// so that the parser reports whatever goes wrong first in reading order.
std::vector<token> tokenize(std::u16string_view sql);

// The message for an invalid token, naming the text it could not read.
std::string invalid_token_message(const token& t);

// The raise used for every statement the subset does not understand.
[[noreturn]] void syntax_error(const std::string& message);

// Text of a token or name for messages, as UTF-8 and shortened when long.
std::string quoted_for_message(std::u16string_view text);

}  // namespace msi::sql
