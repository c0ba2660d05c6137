#include "tedchunk.h"
#include "chunk_tree.h"
#include "command_line.h"
#include "console.h"
#include "failure_text.h"
#include "held_file.h"
#include "preview.h"
#include "preview_name.h"
#include "shown_name.h"
#include "string_table.h"
#include "targa.h"
#include "text_ids.h"
#include "version.h"
#include "wexception.h"
#include "wildcards.h"

#include <functional>
#include <optional>

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

// Ends a success line: where the preview stands, for `insert --at` to put it back there,
// and why its bytes are not a complete Targa image if they are not.
std::wstring atPosition(std::size_t position, const std::wstring& problem = std::wstring()) {
    return L" (top-level position " + std::to_wstring(position) +
           (problem.empty() ? L"" : L"; not a complete Targa image: " + problem) + L")";
}

// A failure's text for the terminal: the name it ends with, if any, as names are shown.
std::wstring shownFailure(const ShownMessage& failure) {
    const std::wstring text = failure.wideText();
    const std::size_t nameAt = text.size() - failure.nameLength;
    return text.substr(0, nameAt) + shownName(text.substr(nameAt));
}

// Reports failures of one map; the map's path leads each report when there are several.
class Reporter {
public:
    explicit Reporter(bool several) : prefixed(several) {}

    // `message` names files as shownName shows them.
    void fail(const std::wstring& map, const std::wstring& message) {
        printError(prefixed ? shownName(map) + L": " + message : message);
    }

    // Runs `work` for one map and turns its failures into reports; false if it failed.
    bool attempt(const std::wstring& map, const std::function<void()>& work) {
        const std::optional<ShownMessage> failure = failureOf([&] {
            if (isUnmatchedPattern(map))
                throw notFound(map);
            work();
        });
        if (failure)
            fail(map, shownFailure(*failure));
        return !failure;
    }

private:
    bool prefixed;
};

struct ExtractOptions {
    bool keep = false;
    bool force = false;
    std::optional<std::wstring> output;
    std::vector<std::wstring> maps;
};

// Whether both paths name one existing file, however spelt, each found as a write would.
bool isSameFile(const std::wstring& a, const std::wstring& b) {
    const auto first = stampOfPath(a), second = stampOfPath(b);
    return first && second && first->isSameFile(*second);
}

// A map given earlier in this run and the Targa file its preview went to.
struct SavedPreview {
    std::wstring map;
    std::wstring targa;
};

// Why `targa` must not be written for `map`: a Targa file written earlier in the run is
// never written again, whatever became of its map afterwards. Empty when it may be; the
// names as shownName shows them.
std::wstring clashWithEarlier(const std::vector<SavedPreview>& saved, const std::wstring& map,
                              const std::wstring& targa) {
    for (const SavedPreview& earlier : saved) {
        if (isSameFile(earlier.map, map))
            return L"The map was given more than once; its preview was saved to:\n" +
                   shownName(earlier.targa);
        if (isSameFile(earlier.targa, targa))
            return L"The preview file was already written for another map:\n" + shownName(targa);
    }
    return std::wstring();
}

int extract(const ExtractOptions& options) {
    Reporter report(options.maps.size() > 1);
    bool anyFailed = false;
    bool anyWithoutPreview = false;
    std::vector<SavedPreview> saved;
    for (const std::wstring& map : options.maps) {
        const std::wstring targa = options.output ? *options.output : defaultPreviewPath(map);
        const std::wstring clash = clashWithEarlier(saved, map, targa);
        if (!clash.empty()) {
            report.fail(map, clash);
            anyFailed = true;
            continue;
        }
        PreviewResult result = PreviewResult::NoPreview;
        std::size_t position = 0;
        std::wstring problem;
        const bool done = report.attempt(map, [&] {
            result = runExtraction(targa, map,
                                   options.keep ? MapChange::KeepMap : MapChange::RemovePreview,
                                   options.force ? ExistingTarga::Overwrite : ExistingTarga::Refuse,
                                   [&](std::size_t at, const std::wstring& notTarga) {
                                       saved.push_back({map, targa});
                                       position = at;
                                       problem = notTarga;
                                   });
        });
        if (!done) {
            anyFailed = true;
        } else if (result == PreviewResult::NoPreview) {
            report.fail(map, loadResourceString(IDS_NO_PREVIEW));
            anyWithoutPreview = true;
        } else {
            printLine(shownName(map) + L": preview saved to " + shownName(targa) +
                      (options.keep ? L", map unchanged" : L", removed from the map") +
                      atPosition(position, problem));
        }
    }
    if (anyFailed)
        return EXIT_FAILED;
    return anyWithoutPreview ? EXIT_NO_PREVIEW : EXIT_ALL_DONE;
}

// Body length of a node as it stands in the file.
std::uint64_t bodyLength(const ChunkNode& node) {
    if (!node.isContainer())
        return node.size;
    std::uint64_t length = 0;
    for (const auto& entry : node.children)
        length += CHUNK_HEADER_SIZE + bodyLength(*entry.child);
    return length;
}

// The preview as insert would see it; its body is the one list reads.
std::wstring describePicture(const ChunkTree& tree, const ChunkNode& node) {
    std::vector<std::uint8_t> body(node.size);
    const std::uint32_t got = tree.readBody(node, body.data(), node.size);
    return checkTarga(body.data(), got).description();
}

void listChildren(const ChunkTree& tree, const ChunkNode& node, std::uint64_t offset,
                  const std::wstring& indent) {
    for (const auto& entry : node.children) {
        const ChunkNode& child = *entry.child;
        const std::uint64_t length = bodyLength(child);
        // A top-level picture says what it is, as insert would see it.
        const bool picture =
            indent.empty() && entry.type == PREVIEW_CHUNK_TYPE && !child.isContainer();
        printLine(indent + std::to_wstring(entry.type) +
                  (child.isContainer() ? L" container " : L" data ") + std::to_wstring(length) +
                  L" bytes at " + std::to_wstring(offset) +
                  (picture ? L": " + describePicture(tree, child) : L""));
        listChildren(tree, child, offset + CHUNK_HEADER_SIZE, indent + L"  ");
        offset += CHUNK_HEADER_SIZE + length;
    }
}

int list(const std::wstring& map) {
    Reporter report(false);
    std::optional<ChunkTree> tree;
    std::optional<HeldFile> held;
    if (!report.attempt(map,
                        [&] { tree.emplace(loadChunkFile(held.emplace(holdFile(map)).file)); }))
        return EXIT_FAILED;
    listChildren(*tree, tree->root(), 0, L"");
    return EXIT_ALL_DONE;
}

std::size_t countChunks(const ChunkNode& node) {
    std::size_t count = node.children.size();
    for (const auto& entry : node.children)
        count += countChunks(*entry.child);
    return count;
}

int check(const std::vector<std::wstring>& maps) {
    Reporter report(maps.size() > 1);
    bool anyFailed = false;
    for (const std::wstring& map : maps) {
        std::size_t chunks = 0;
        if (report.attempt(map, [&] {
                HeldFile held = holdFile(map);
                chunks = countChunks(loadChunkFile(held.file).root());
            }))
            printLine(shownName(map) + L": well-formed, " + std::to_wstring(chunks) + L" chunks");
        else
            anyFailed = true;
    }
    return anyFailed ? EXIT_FAILED : EXIT_ALL_DONE;
}

int runExtract(const ParsedArguments& arguments) {
    ExtractOptions options{arguments.has(L"--keep"), arguments.has(L"--force"),
                           arguments.value(L"-o"), arguments.operands};
    if (options.output && options.maps.size() > 1)
        throw UsageError{L"-o is allowed with one map only"};
    return extract(options);
}

int runInsert(const ParsedArguments& arguments) {
    const std::wstring& map = arguments.operands[0];
    const std::wstring& picture = arguments.operands[1];
    const bool force = arguments.has(L"--force");
    const std::optional<std::wstring> at = arguments.value(L"--at");
    if (force && at)
        throw UsageError{L"--at cannot be given with --force, which keeps the preview's place"};
    if (at && (at->empty() || at->find_first_not_of(L"0123456789") != std::wstring::npos))
        throw UsageError{L"--at takes a position: decimal digits, 0 for the first"};
    Insertion done{};
    if (!Reporter(false).attempt(map, [&] {
            done = runInsertion(
                picture, map, at, force ? ExistingPreview::Replace : ExistingPreview::Refuse,
                arguments.has(L"--unchecked") ? PictureCheck::Unchecked : PictureCheck::Targa);
        }))
        return EXIT_FAILED;
    printLine(shownName(map) +
              (done.replaced ? L": preview replaced by " + shownName(picture)
                             : L": " + shownName(picture) + L" inserted as the preview") +
              atPosition(done.position) +
              (done.formerPreview ? L"; the former preview follows at top-level position " +
                                        std::to_wstring(*done.formerPreview)
                                  : L""));
    return EXIT_ALL_DONE;
}

int runList(const ParsedArguments& arguments) {
    return list(arguments.operands[0]);
}

int runCheck(const ParsedArguments& arguments) {
    return check(arguments.operands);
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
