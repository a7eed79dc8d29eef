#pragma once

// One row of the application-language table: the code written to the
// package and the text shown in the list, both UTF-8.
struct language_entry {
    const char* code;
    const char* display_text;
};
