#include "chunk_tree.h"
#include "held_file.h"
#include "preview.h"
#include "subcommands.h"
#include "targa.h"
#include "tedchunk.h"

namespace {

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
        const std::uint64_t length = child.lengthInSource(); // as it stands in the file
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

std::size_t countChunks(const ChunkNode& node) {
    std::size_t count = node.children.size();
    for (const auto& entry : node.children)
        count += countChunks(*entry.child);
    return count;
}

} // namespace

int runList(const ParsedArguments& arguments) {
    const std::wstring& map = arguments.operands[0];
    Reporter report(false);
    std::optional<ChunkTree> tree;
    std::optional<HeldFile> held;
    if (!report.attempt(map,
                        [&] { tree.emplace(loadChunkFile(held.emplace(holdFile(map)).file)); }))
        return EXIT_FAILED;
    listChildren(*tree, tree->root(), 0, L"");
    return EXIT_ALL_DONE;
}

int runCheck(const ParsedArguments& arguments) {
    const std::vector<std::wstring>& maps = arguments.operands;
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
