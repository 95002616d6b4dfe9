#pragma once

#include <QList>
#include <QUrl>

#include <functional>

/// Opens an address in the user's default browser (sign-in, the web dashboard).
class Browser
{
public:
    virtual ~Browser() = default;
    /// False when no browser could be started.
    virtual bool open(const QUrl &url) = 0;
};

/// The desktop's browser: QDesktopServices inside the app, `xdg-open` where no GUI
/// application exists (the command-line tool).
class DesktopBrowser final : public Browser
{
public:
    bool open(const QUrl &url) override;
};

/// A browser for tests: records every address and optionally acts on it (for example by
/// performing the redirect a real browser would make).
class RecordingBrowser final : public Browser
{
public:
    bool open(const QUrl &url) override
    {
        opened.append(url);
        if (onOpen)
            onOpen(url);
        return succeeds;
    }

    QList<QUrl> opened;
    std::function<void(const QUrl &)> onOpen;
    bool succeeds = true;
};
