#pragma once

#include "platform/Browser.h"

/// The desktop's browser: QDesktopServices inside the app, `xdg-open` where no GUI
/// application exists (the command-line tool).
class DesktopBrowser final : public Browser
{
public:
    bool open(const QUrl &url) override;
};
