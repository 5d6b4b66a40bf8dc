#pragma once
// Command-line options of the form --name VALUE (repeatable) and --flag, then plain operands.

#include <map>
#include <set>
#include <string>
#include <vector>

namespace publish {

class CArguments {
public:
    // `flags` take no value; every other --name takes the next argument.
    CArguments(const std::vector<std::string>& args, const std::set<std::string>& flags);

    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    bool Has(const std::string& name) const { return values_.count(name) != 0; }
    std::string Value(const std::string& name, const std::string& fallback = "") const;
    std::vector<std::string> Values(const std::string& name) const;
    const std::vector<std::string>& Operands() const { return operands_; }
    // Names given that are not in `known`, for a clear refusal of a misspelt option.
    std::string Unknown(const std::set<std::string>& known) const;

private:
    std::map<std::string, std::vector<std::string>> values_;
    std::vector<std::string> operands_;
    std::string error_;
};

// The program's arguments as UTF-8 (on Windows from the wide command line).
std::vector<std::string> Utf8Arguments(int argc, char** argv);

}  // namespace publish
