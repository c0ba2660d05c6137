#include "held_file.h"
#include "preview.h"
#include "preview_name.h"
#include "string_table.h"
#include "subcommands.h"
#include "tedchunk.h"
#include "text_ids.h"

namespace {

// Ends a success line: where the preview stands, for `insert --at` to put it back there,
// and why its bytes are not a complete Targa image if they are not.
std::wstring atPosition(std::size_t position, const std::wstring& problem = std::wstring()) {
    return L" (top-level position " + std::to_wstring(position) +
           (problem.empty() ? L"" : L"; not a complete Targa image: " + problem) + L")";
}

// Whether `path` names the existing file `stamp` is of, however spelt, found as a write would.
bool isSameFile(const std::optional<filesystem_ops::FileStamp>& stamp, const std::wstring& path) {
    if (!stamp)
        return false;
    const auto other = stampOfPath(path);
    return other && stamp->isSameFile(*other);
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
    if (saved.empty())
        return std::wstring();
    // This map and Targa file are looked up once; each earlier one again, since its
    // rewrite may have given the name another file.
    const auto mapStamp = stampOfPath(map), targaStamp = stampOfPath(targa);
    for (const SavedPreview& earlier : saved) {
        if (isSameFile(mapStamp, earlier.map))
            return L"The map was given more than once; its preview was saved to:\n" +
                   shownName(earlier.targa);
        if (isSameFile(targaStamp, earlier.targa))
            return L"The preview file was already written for another map:\n" + shownName(targa);
    }
    return std::wstring();
}

} // namespace

int runExtract(const ParsedArguments& arguments) {
    const std::vector<std::wstring>& maps = arguments.operands;
    const std::optional<std::wstring> output = arguments.value(L"-o");
    const bool keep = arguments.has(L"--keep"), force = arguments.has(L"--force");
    if (output && maps.size() > 1)
        throw UsageError{L"-o is allowed with one map only"};
    Reporter report(maps.size() > 1);
    bool anyFailed = false;
    bool anyWithoutPreview = false;
    std::vector<SavedPreview> saved;
    for (const std::wstring& map : maps) {
        const std::wstring targa =
            output ? *output : defaultPreviewPath(filesystem_ops::withNameOnDisk(map));
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
            result = runExtraction(targa, map, keep ? MapChange::KeepMap : MapChange::RemovePreview,
                                   force ? ExistingTarga::Overwrite : ExistingTarga::Refuse,
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
                      (keep ? L", map unchanged" : L", removed from the map") +
                      atPosition(position, problem));
        }
    }
    if (anyFailed)
        return EXIT_FAILED;
    return anyWithoutPreview ? EXIT_NO_PREVIEW : EXIT_ALL_DONE;
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
