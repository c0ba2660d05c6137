#include "command_line.h"

#include <algorithm>

std::optional<std::wstring> ParsedArguments::value(const wchar_t* option) const {
    const auto found = options.find(option);
    if (found == options.end())
        return std::nullopt;
    return found->second;
}

ParsedArguments parseArguments(const std::vector<std::wstring>& arguments,
                               const std::vector<OptionSpec>& specs) {
    ParsedArguments parsed;
    for (auto next = arguments.begin(); next != arguments.end(); ++next) {
        const std::wstring& argument = *next;
        if (argument.size() < 2 || argument[0] != L'-') {
            parsed.operands.push_back(argument);
            continue;
        }
        if (argument == L"--") {
            parsed.operands.insert(parsed.operands.end(), next + 1, arguments.end());
            break;
        }
        if (argument == L"--help" || argument == L"-h") {
            parsed.helpAsked = true;
            break;
        }
        const auto spec = std::find_if(specs.begin(), specs.end(), [&](const OptionSpec& s) {
            return argument == s.name || (s.otherName && argument == s.otherName);
        });
        if (spec == specs.end())
            throw UsageError{L"unknown option " + argument};
        if (spec->needs && next + 1 == arguments.end())
            throw UsageError{std::wstring(spec->name) + L" needs " + spec->needs};
        const bool first = parsed.options.emplace(spec->name, spec->needs ? *++next : L"").second;
        if (!first && spec->needs)
            throw UsageError{std::wstring(spec->name) + L" may be given only once"};
    }
    return parsed;
}
