#pragma once

#include <functional>
#include <string>

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
// preview is saved, before the map is rewritten, so that a caller knows of the Targa file
// even when the rewrite then fails.
PreviewResult runExtraction(const std::wstring& targaPath, const std::wstring& mapPath,
                            MapChange change = MapChange::RemovePreview,
                            ExistingTarga existing = ExistingTarga::Overwrite,
                            const std::function<void()>& previewSaved = nullptr);

// The dialog's command: runExtraction, with every outcome but success shown in a
// message box. Lets no wexception or standard exception escape.
void extractPreview(const std::wstring& targaPath, const std::wstring& mapPath);
