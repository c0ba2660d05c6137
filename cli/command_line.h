#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

// One option of a subcommand: a flag such as "--force", or, when `needs` says what must
// follow it, an option that takes the next argument as its value ("-o OUT.tga").
struct OptionRule {
    const wchar_t* name;                // as messages show it
    const wchar_t* otherName = nullptr; // a second spelling ("--output"), if any
    const wchar_t* needs = nullptr;     // "-o needs the name of the Targa file"
};

// A wrong command line; `problem` says why ("unknown option --fast").
struct UsageError {
    std::wstring problem;
};

// What a subcommand was given.
struct ParsedArguments {
    bool helpAsked = false;
    std::map<std::wstring, std::wstring> options; // by OptionRule::name; flags map to ""
    std::vector<std::wstring> operands;

    bool has(const wchar_t* option) const { return options.count(option) != 0; }
    std::optional<std::wstring> value(const wchar_t* option) const;
};

// Reads the arguments that follow a subcommand's name, the same way for every subcommand:
// options as `rules` allow (one with a value at most once), anywhere until "--", which ends
// them;
// "--help" or "-h" asks for help; everything else, "-" and "" too, is an operand, in order.
// An unknown option, a missing value or a repeated option throws UsageError.
ParsedArguments parseArguments(const std::vector<std::wstring>& arguments,
                               const std::vector<OptionRule>& rules);
