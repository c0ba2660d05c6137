#pragma once

#include "command_line.h"
#include "console.h"
#include "failure_text.h"
#include "shown_name.h"
#include "wexception.h"
#include "wildcards.h"

#include <functional>
#include <optional>
#include <string>

// The subcommands of tedchunk's table (tedchunk.cpp), each returning the exit code:
// extract and insert in map_commands.cpp, list and check in tree_listing.cpp.
int runExtract(const ParsedArguments& arguments);
int runInsert(const ParsedArguments& arguments);
int runList(const ParsedArguments& arguments);
int runCheck(const ParsedArguments& arguments);

// A failure's text for the terminal: the name it ends with, if any, as names are shown.
inline std::wstring shownFailure(const ShownMessage& failure) {
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
