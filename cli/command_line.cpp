#include "command_line.h"

#include <algorithm>

std::optional<std::wstring> ParsedArguments::value(const wchar_t* option) const {
    const auto found = options.find(option);
    if (found == options.end())
        return std::nullopt;
    return found->second;
}

ParsedArguments parseArguments(const std::vector<std::wstring>& arguments,
                               const std::vector<OptionRule>& rules) {
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
        const auto rule = std::find_if(rules.begin(), rules.end(), [&](const OptionRule& s) {
            return argument == s.name || (s.otherName && argument == s.otherName);
        });
        if (rule == rules.end())
            throw UsageError{L"unknown option " + argument};
        if (rule->needs && next + 1 == arguments.end())
            throw UsageError{std::wstring(rule->name) + L" needs " + rule->needs};
        const bool first = parsed.options.emplace(rule->name, rule->needs ? *++next : L"").second;
        if (!first && rule->needs)
            throw UsageError{std::wstring(rule->name) + L" may be given only once"};
    }
    return parsed;
}
