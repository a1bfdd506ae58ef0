#include "cli.h"

#include <cstdio>
#include <cstdlib>

#include "project.h"
#include "text_encoding.h"

namespace vela {

const Command* FindCommand(std::string_view name) {
    for (const Command& command : Commands())
        if (name == command.name)
            return &command;
    return nullptr;
}

void PrintError(std::string_view what, std::string_view why) {
    std::fprintf(stderr, "vela: %.*s: %.*s\n", static_cast<int>(what.size()), what.data(),
                 static_cast<int>(why.size()), why.data());
}

int UsageError(const Command& command, std::string_view why) {
    PrintError(command.name, why);
    std::fprintf(stderr, "Try 'vela help %s'.\n", command.name);
    return ExitUsage;
}

bool ParsedArgs::Has(std::string_view name) const {
    return Value(name) != nullptr;
}

const std::string* ParsedArgs::Value(std::string_view name) const {
    const std::string* found = nullptr;
    for (const auto& option : options)
        if (option.first == name)
            found = &option.second;  // the last one given wins
    return found;
}

bool ParseArgs(const Command& command, const std::vector<std::string>& args,
               const std::vector<OptionSpec>& known, ParsedArgs& out) {
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); i++) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-' ) {
            out.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string body = arg.substr(arg[1] == '-' ? 2 : 1);
        std::string name = body, value;
        bool hasValue = false;
        if (size_t eq = body.find('='); eq != std::string::npos) {
            name = body.substr(0, eq);
            value = body.substr(eq + 1);
            hasValue = true;
        }
        const OptionSpec* option = nullptr;
        for (const OptionSpec& candidate : known)
            if (name == candidate.name)
                option = &candidate;
        if (option == nullptr) {
            UsageError(command, "unknown option '" + arg + "'");
            return false;
        }
        if (option->takesValue && !hasValue) {
            if (i + 1 >= args.size()) {
                UsageError(command, "option '" + arg + "' needs a value");
                return false;
            }
            value = args[++i];
        } else if (!option->takesValue && hasValue) {
            UsageError(command, "option '--" + name + "' takes no value");
            return false;
        }
        out.options.emplace_back(name, value);
    }
    return true;
}

int ParseCodePage(const Command& command, const ParsedArgs& args, int& codePage) {
    codePage = kDefaultCodePage;
    if (const std::string* value = args.Value("codepage")) {
        char* end = nullptr;
        long n = std::strtol(value->c_str(), &end, 10);
        if (value->empty() || *end != '\0' || n <= 0 || n > 65535)
            return UsageError(command, "--codepage needs a code page number such as 1252");
        codePage = static_cast<int>(n);
    }
    if (!CodePageSupported(codePage)) {
        PrintError(command.name, "code page " + std::to_string(codePage) + " is not known on this system");
        return ExitUsage;
    }
    return ExitOk;
}

}  // namespace vela
