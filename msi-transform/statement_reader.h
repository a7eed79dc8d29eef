#pragma once
// The statements of `sql`'s command line in order: texts given as arguments
// and the lines of -f files (or of standard input for "-"), blank lines
// skipped. Files are opened up front, so a file that cannot be read is a
// usage error before anything runs, and then read a line at a time: a
// script of any length is never held whole in memory.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace msi_transform {

class statement_reader {
public:
    // `args` are the statements and -f FILE pairs; raises usage_error for a
    // -f without a file and for a file that cannot be opened.
    explicit statement_reader(const std::vector<std::string>& args);
    // The next statement, valid until the next call; false after the last.
    bool next(std::string_view& statement);

private:
    struct close_file {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    struct source {
        std::optional<std::string> text;              // a statement given as an argument
        std::unique_ptr<std::FILE, close_file> file;  // or a file's lines
        bool standard_input = false;                  // or standard input's
    };
    std::vector<source> sources_;
    std::size_t at_ = 0;
    std::string line_;
};

}  // namespace msi_transform
