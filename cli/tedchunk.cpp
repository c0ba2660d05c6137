#include "tedchunk.h"
#include "subcommands.h"
#include "version.h"

namespace {

const wchar_t* const USAGE = L"Usage:\n"
                             L"  tedchunk extract [--keep] [--force] [-o OUT.tga] MAP...\n"
                             L"  tedchunk insert [--force | --at N] [--unchecked] MAP PICTURE.tga\n"
                             L"  tedchunk list MAP\n"
                             L"  tedchunk check MAP...\n"
                             L"  tedchunk --help | --version";

const wchar_t* const HELP =
    L"tedchunk: takes the preview picture out of map files (.ted), and puts one back.\n"
    L"\n"
    L"  extract MAP...   saves each map's preview (the first top-level chunk of type 19)\n"
    L"                   as a Targa file and removes it from the map. The file goes beside\n"
    L"                   the map: \"maps/alpha.ted\" gives \"maps/alpha.tga\".\n"
    L"      --keep       save the preview but leave the map as it is\n"
    L"      -o OUT.tga   the Targa file's name (one map only)\n"
    L"      --force      overwrite an existing Targa file\n"
    L"  insert MAP PICTURE.tga\n"
    L"                   puts a Targa picture, unchanged, into the map as its preview,\n"
    L"                   undoing an extraction\n"
    L"      --at N       before the top-level chunk at position N (0 is the first; extract\n"
    L"                   names the position the preview had); without it, after the last.\n"
    L"                   At or before the map's preview, the former preview stays after it\n"
    L"      --force      replace the map's preview where it stands\n"
    L"      --unchecked  any bytes, not only a complete Targa image: a preview as extract\n"
    L"                   saved it, even one it said is not a complete Targa image\n"
    L"  list MAP         shows the chunk tree: type, kind, body length, header offset, and\n"
    L"                   what each top-level preview picture is\n"
    L"  check MAP...     says whether each map is well-formed; changes nothing\n"
    L"\n"
    L"Every command takes --help (or -h). \"--\" ends the options, so that\n"
    L"\"tedchunk check -- -m.ted\" checks the map \"-m.ted\".\n"
    L"\n"
    L"Exit codes: 0 all done, 1 a map failed, 2 wrong command line,\n"
    L"3 nothing failed but a map had no preview.";

int usageError(const std::wstring& problem) {
    printError(L"tedchunk: " + shownName(problem));
    printError(USAGE);
    return EXIT_USAGE;
}

// A subcommand: its options, how many operands it takes once wildcards are expanded (and
// what it says when that is wrong), and what it runs.
struct Subcommand {
    const wchar_t* name;
    std::vector<OptionRule> options;
    std::size_t minOperands;
    std::size_t maxOperands;
    const wchar_t* wrongOperands;
    int (*run)(const ParsedArguments&);
};

const std::size_t ANY = static_cast<std::size_t>(-1);

const Subcommand SUBCOMMANDS[] = {
    {L"extract",
     {{L"--keep"}, {L"--force"}, {L"-o", L"--output", L"the name of the Targa file"}},
     1,
     ANY,
     L"extract needs at least one map",
     runExtract},
    {L"insert",
     {{L"--force"},
      {L"--unchecked"},
      {L"--at", nullptr, L"a position: decimal digits, 0 for the first"}},
     2,
     2,
     L"insert takes a map and a picture",
     runInsert},
    {L"list", {}, 1, 1, L"list takes exactly one map", runList},
    {L"check", {}, 1, ANY, L"check needs at least one map", runCheck},
};

// The operands with wildcards expanded: each to every file it matches where a command
// takes any number of maps; where it takes one file in each place, a pattern stands for
// the one file it matches, and one that matches several is a wrong command line.
std::vector<std::wstring> operandsOf(const Subcommand& command,
                                     const std::vector<std::wstring>& operands) {
    if (command.maxOperands == ANY)
        return expandWildcards(operands);
    std::vector<std::wstring> expanded;
    for (const std::wstring& operand : operands) {
        const std::vector<std::wstring> files = expandWildcards({operand});
        if (files.size() > 1)
            throw UsageError{std::wstring(command.wrongOperands) + L"; " + operand + L" matches " +
                             std::to_wstring(files.size()) + L" files"};
        expanded.push_back(files[0]);
    }
    return expanded;
}

int printHelp() {
    printLine(HELP);
    printLine(L"");
    printLine(USAGE);
    return EXIT_ALL_DONE;
}

int runSubcommand(const std::vector<std::wstring>& arguments) {
    const std::wstring& name = arguments[0];
    for (const Subcommand& command : SUBCOMMANDS) {
        if (name != command.name)
            continue;
        ParsedArguments parsed =
            parseArguments({arguments.begin() + 1, arguments.end()}, command.options);
        if (parsed.helpAsked)
            return printHelp();
        parsed.operands = operandsOf(command, parsed.operands);
        if (parsed.operands.size() < command.minOperands ||
            parsed.operands.size() > command.maxOperands)
            throw UsageError{command.wrongOperands};
        return command.run(parsed);
    }
    throw UsageError{L"unknown command " + name};
}

} // namespace

int runTedchunk(const std::vector<std::wstring>& arguments) {
    if (arguments.empty())
        return usageError(L"no command given");
    const std::wstring& command = arguments[0];
    if (command == L"--help" || command == L"-h" || command == L"help")
        return printHelp();
    if (command == L"--version") {
        printLine(L"tedchunk " TEDCHUNK_VERSION);
        return EXIT_ALL_DONE;
    }
    try {
        return runSubcommand(arguments);
    } catch (const UsageError& error) {
        return usageError(error.problem);
    }
}
