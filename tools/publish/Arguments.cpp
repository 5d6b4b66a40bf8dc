#include "Arguments.h"

#ifdef _WIN32
#include <windows.h>
// shellapi.h needs windows.h first
#include <shellapi.h>

#include "base/TextCodec.h"
#endif

namespace publish {

CArguments::CArguments(const std::vector<std::string>& args, const std::set<std::string>& flags) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            const std::string name = arg.substr(2);
            if (flags.count(name)) {
                values_[name].push_back("1");
            } else if (i + 1 < args.size()) {
                values_[name].push_back(args[++i]);
            } else {
                error_ = "--" + name + " needs a value";
            }
        } else {
            operands_.push_back(arg);
        }
    }
}

std::string CArguments::Value(const std::string& name, const std::string& fallback) const {
    auto found = values_.find(name);
    return found == values_.end() ? fallback : found->second.back();
}

std::vector<std::string> CArguments::Values(const std::string& name) const {
    auto found = values_.find(name);
    return found == values_.end() ? std::vector<std::string>() : found->second;
}

std::string CArguments::Unknown(const std::set<std::string>& known) const {
    for (const auto& entry : values_) {
        if (!known.count(entry.first)) return "--" + entry.first;
    }
    return std::string();
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    std::vector<std::string> out;
#ifdef _WIN32
    (void)argv;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide && i < count; ++i) out.push_back(Utf8FromWide(wide[i]));
    if (wide) LocalFree(wide);
    (void)argc;
#else
    for (int i = 1; i < argc; ++i) out.push_back(argv[i]);
#endif
    return out;
}

}  // namespace publish
