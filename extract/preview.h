#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

constexpr std::uint32_t PREVIEW_CHUNK_TYPE = 19;

enum class PreviewResult { Extracted, NoPreview };

enum class MapChange {
    RemovePreview, // save the preview and rewrite the map without it
    KeepMap,       // only save the preview
};

enum class ExistingTarga {
    Overwrite, // as the dialog does: its chooser has already asked
    Refuse,    // for batches, which cannot ask
};

// The whole operation for any front end. Loads the map completely, saves the preview,
// then (for RemovePreview) replaces the map safely with the tree without it. Failures
// are wexception-family or standard exceptions; the map is unchanged after any of them,
// and so is the Targa file unless `previewSaved` was called: it is called as soon as the
// preview is saved, before the map is rewritten, with the preview's top-level position
// and, when its bytes are not a complete Targa image, why (see targa.h; empty when they
// are), so that a caller knows of the Targa file even when the rewrite then fails.
PreviewResult
runExtraction(const std::wstring& targaPath, const std::wstring& mapPath,
              MapChange change = MapChange::RemovePreview,
              ExistingTarga existing = ExistingTarga::Overwrite,
              const std::function<void(std::size_t, const std::wstring&)>& previewSaved = nullptr);

enum class ExistingPreview {
    Refuse,  // a map with a preview is refused
    Replace, // its preview's body is replaced where it stands
};

enum class PictureCheck {
    Targa,     // only one complete Targa image (see targa.h)
    Unchecked, // any bytes, as a preview that extraction saved may be
};

struct Insertion {
    std::size_t position; // the preview's 0-based top-level position
    bool replaced;        // true: an existing preview's body was replaced
    // Where the map's former preview stands now, when the new one went before it.
    std::optional<std::size_t> formerPreview;
};

// Undoes an extraction: puts the picture at `picturePath`, unchanged, into the map as the
// body of a top-level type-19 data chunk, before the top-level chunk at `position`
// (decimal digits, kept as given for the messages) or after the last one. A map that has
// a preview takes a new one only before it (the former one stays, a later type-19 chunk,
// as in a map that had two) or, with Replace, in its place. The picture's header is
// checked before the rest is read. The picture must pass `check` and fit a chunk body,
// the new chunk must be the one extraction finds, and the new map must stay within
// 32-bit sizes; otherwise it is refused with a wruntime_error before anything is
// written. The map is loaded whole first and replaced safely, as by runExtraction.
Insertion runInsertion(const std::wstring& picturePath, const std::wstring& mapPath,
                       const std::optional<std::wstring>& position = std::nullopt,
                       ExistingPreview existing = ExistingPreview::Refuse,
                       PictureCheck check = PictureCheck::Targa);

// Test seam: when set, called with the picture's path once its header has been read.
extern void (*afterPictureHeaderRead)(const std::wstring& path);

// The dialog's command: runExtraction, with every outcome but success shown in a
// message box. Lets no wexception or standard exception escape.
void extractPreview(const std::wstring& targaPath, const std::wstring& mapPath);
