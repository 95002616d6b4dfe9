#pragma once

#include <QString>

#include <functional>

/// What the preview's media blocks do, keyed by the media path as written in the note
/// ("attachments/<note id>/<file>"). The editor supplies it; an empty `extractText` or
/// `transcribe` means the AI action is not offered.
struct MediaContext
{
    /// The file a path stands for.
    std::function<QString(const QString &path)> resolve;
    /// Save a copy of the file where the user chooses.
    std::function<void(const QString &path)> exportMedia;
    /// Show the file in the file manager.
    std::function<void(const QString &path)> reveal;
    /// Take the media out of the note (no confirmation).
    std::function<void(const QString &path)> remove;
    std::function<void(const QString &path)> extractText;
    std::function<void(const QString &path)> transcribe;
};
