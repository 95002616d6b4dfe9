// The one place that picks the platform's implementation of each adapter.
#include "platform/Browser.h"
#include "platform/HotKeyBackend.h"
#include "platform/Keychain.h"
#include "platform/LoginItem.h"
#include "platform/linux/DesktopBrowser.h"
#include "platform/linux/PortalHotKey.h"
#include "platform/linux/SecretServiceKeychain.h"
#include "platform/linux/X11HotKey.h"
#include "platform/linux/XdgLoginItem.h"

#include <QDBusConnection>
#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcPlatform, "app.scrivelbar.app.hotkey")

// Where no global-shortcut facility exists (Wayland without the portal, offscreen), the user
// binds `scrivelbar --toggle` in the desktop's own settings instead.
class NoHotKeyBackend final : public HotKeyBackend
{
public:
    void installHandler(std::function<void()>) override { }
    bool registerKeys(const GlobalHotKey &) override { return false; }
    void unregisterKeys() override { }
    bool available() const override { return false; }
};

} // namespace

std::unique_ptr<Browser> Browser::create()
{
    return std::make_unique<DesktopBrowser>();
}

std::unique_ptr<Keychain> Keychain::create()
{
    return std::make_unique<SecretServiceKeychain>();
}

std::unique_ptr<LoginItem> LoginItem::create()
{
    return std::make_unique<XdgLoginItem>();
}

std::unique_ptr<HotKeyBackend> HotKeyBackend::create()
{
    if (x11HotKeysAvailable())
        return makeX11HotKeyBackend();
    if (xdgPortalGlobalShortcutsAvailable(QDBusConnection::sessionBus()))
        return makeXdgPortalHotKeyBackend();
    qCInfo(lcPlatform) << "no global-shortcut facility; bind `scrivelbar --toggle` instead";
    return std::make_unique<NoHotKeyBackend>();
}
