#include "statement_reader.h"

#include "commands.h"

namespace msi_transform {
namespace {

// One line without its newline; false at the end of the input.
bool read_line(std::FILE* in, std::string& line) {
    line.clear();
    int c;
    while ((c = getc_unlocked(in)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
    return c == '\n' || !line.empty();
}

}  // namespace

statement_reader::statement_reader(const std::vector<std::string>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        source s;
        if (args[i] != "-f") {
            s.text = args[i];
        } else if (++i == args.size()) {
            throw usage_error{"-f needs a file of statements, or - for standard input"};
        } else if (args[i] == "-") {
            s.standard_input = true;
        } else {
            s.file.reset(std::fopen(args[i].c_str(), "rb"));
            if (!s.file) throw usage_error{"cannot read statements from '" + args[i] + "'"};
        }
        sources_.push_back(std::move(s));
    }
}

bool statement_reader::next(std::string_view& statement) {
    for (; at_ < sources_.size(); ++at_) {
        source& s = sources_[at_];
        if (s.text) {
            statement = *s.text;
            ++at_;
            return true;
        }
        std::FILE* in = s.standard_input ? stdin : s.file.get();
        while (read_line(in, line_)) {
            if (!line_.empty() && line_.back() == '\r') line_.pop_back();
            if (line_.find_first_not_of(" \t") == std::string::npos) continue;
            statement = line_;
            return true;
        }
    }
    return false;
}

}  // namespace msi_transform
