#include "tedchunk.h"
#include "chunk_tree.h"
#include "console.h"
#include "failure_text.h"
#include "file_system.h"
#include "preview.h"
#include "preview_name.h"
#include "string_table.h"
#include "text_ids.h"
#include "version.h"
#include "wexception.h"
#include "wildcards.h"

#include <functional>
#include <optional>

namespace {

const wchar_t* const USAGE = L"Usage:\n"
                             L"  tedchunk extract [--keep] [--force] [-o OUT.tga] MAP...\n"
                             L"  tedchunk list MAP\n"
                             L"  tedchunk check MAP...\n"
                             L"  tedchunk --help | --version";

const wchar_t* const HELP =
    L"tedchunk: takes the preview picture out of map files (.ted).\n"
    L"\n"
    L"  extract MAP...   saves each map's preview (the first top-level chunk of type 19)\n"
    L"                   as a Targa file and removes it from the map. The file goes beside\n"
    L"                   the map: \"maps/alpha.ted\" gives \"maps/alpha.tga\".\n"
    L"      --keep       save the preview but leave the map as it is\n"
    L"      -o OUT.tga   the Targa file's name (one map only)\n"
    L"      --force      overwrite an existing Targa file\n"
    L"  list MAP         shows the chunk tree: type, kind, body length, header offset\n"
    L"  check MAP...     says whether each map is well-formed; changes nothing\n"
    L"\n"
    L"Exit codes: 0 all done, 1 a map failed, 2 wrong command line,\n"
    L"3 nothing failed but a map had no preview.";

int usageError(const std::wstring& problem) {
    printError(L"tedchunk: " + problem);
    printError(USAGE);
    return EXIT_USAGE;
}

// Reports failures of one map; the map's path leads each report when there are several.
class Reporter {
public:
    explicit Reporter(bool several) : prefixed(several) {}

    void fail(const std::wstring& map, const std::wstring& message) {
        printError(prefixed ? map + L": " + message : message);
    }

    // Runs `work` for one map and turns its failures into reports; false if it failed.
    bool attempt(const std::wstring& map, const std::function<void()>& work) {
        const std::optional<FailureText> failure = failureOf([&] {
            if (isUnmatchedPattern(map))
                throw notFound(map);
            work();
        });
        if (failure)
            fail(map, failure->wide());
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

// A map given earlier in this run and the Targa file its preview went to.
struct SavedPreview {
    std::wstring map;
    std::wstring targa;
};

// Why `targa` must not be written for `map`: a Targa file written earlier in the run is
// never written again, whatever became of its map afterwards. Empty when it may be.
std::wstring clashWithEarlier(const std::vector<SavedPreview>& saved, const std::wstring& map,
                              const std::wstring& targa) {
    for (const SavedPreview& earlier : saved) {
        if (filesystem_ops::isSameFile(earlier.map, map))
            return L"The map was given more than once; its preview was saved to:\n" + earlier.targa;
        if (filesystem_ops::isSameFile(earlier.targa, targa))
            return L"The preview file was already written for another map:\n" + targa;
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
        const bool done = report.attempt(map, [&] {
            result = runExtraction(
                targa, map, options.keep ? MapChange::KeepMap : MapChange::RemovePreview,
                options.force ? ExistingTarga::Overwrite : ExistingTarga::Refuse, [&] {
                    saved.push_back({map, targa});
                });
        });
        if (!done) {
            anyFailed = true;
        } else if (result == PreviewResult::NoPreview) {
            report.fail(map, loadResourceString(IDS_NO_PREVIEW));
            anyWithoutPreview = true;
        } else {
            printLine(map + L": preview saved to " + targa +
                      (options.keep ? L", map unchanged" : L", removed from the map"));
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

void listChildren(const ChunkNode& node, std::uint64_t offset, const std::wstring& indent) {
    for (const auto& entry : node.children) {
        const ChunkNode& child = *entry.child;
        const std::uint64_t length = bodyLength(child);
        printLine(indent + std::to_wstring(entry.type) +
                  (child.isContainer() ? L" container " : L" data ") + std::to_wstring(length) +
                  L" bytes at " + std::to_wstring(offset));
        listChildren(child, offset + CHUNK_HEADER_SIZE, indent + L"  ");
        offset += CHUNK_HEADER_SIZE + length;
    }
}

int list(const std::wstring& map) {
    Reporter report(false);
    std::optional<ChunkTree> tree;
    if (!report.attempt(map, [&] { tree.emplace(loadChunkFile(map)); }))
        return EXIT_FAILED;
    listChildren(tree->root(), 0, L"");
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
        if (report.attempt(map, [&] { chunks = countChunks(loadChunkFile(map).root()); }))
            printLine(map + L": well-formed, " + std::to_wstring(chunks) + L" chunks");
        else
            anyFailed = true;
    }
    return anyFailed ? EXIT_FAILED : EXIT_ALL_DONE;
}

int runExtractCommand(const std::vector<std::wstring>& arguments) {
    ExtractOptions options;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != L'-' || argument == L"-") {
            options.maps.push_back(argument);
        } else if (argument == L"--") {
            optionsEnded = true;
        } else if (argument == L"--keep") {
            options.keep = true;
        } else if (argument == L"--force") {
            options.force = true;
        } else if (argument == L"-o" || argument == L"--output") {
            if (i + 1 >= arguments.size())
                return usageError(L"-o needs the name of the Targa file");
            if (options.output)
                return usageError(L"-o may be given only once");
            options.output = arguments[++i];
        } else {
            return usageError(L"unknown option " + argument);
        }
    }
    options.maps = expandWildcards(options.maps);
    if (options.maps.empty())
        return usageError(L"extract needs at least one map");
    if (options.output && options.maps.size() > 1)
        return usageError(L"-o is allowed with one map only");
    return extract(options);
}

} // namespace

int runTedchunk(const std::vector<std::wstring>& arguments) {
    if (arguments.empty())
        return usageError(L"no command given");
    const std::wstring& command = arguments[0];
    if (command == L"--help" || command == L"-h" || command == L"help") {
        printLine(HELP);
        printLine(L"");
        printLine(USAGE);
        return EXIT_ALL_DONE;
    }
    if (command == L"--version") {
        printLine(L"tedchunk " TEDCHUNK_VERSION);
        return EXIT_ALL_DONE;
    }
    if (command == L"extract")
        return runExtractCommand(arguments);
    const std::vector<std::wstring> maps =
        expandWildcards(std::vector<std::wstring>(arguments.begin() + 1, arguments.end()));
    if (command == L"list") {
        if (maps.size() != 1)
            return usageError(L"list takes exactly one map");
        return list(maps[0]);
    }
    if (command == L"check") {
        if (maps.empty())
            return usageError(L"check needs at least one map");
        return check(maps);
    }
    return usageError(L"unknown command " + command);
}
