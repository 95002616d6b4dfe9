#pragma once

#include "TestSupport.h"

#include "app/AppSettings.h"
#include "store/NoteStore.h"
#include "sync/SyncEngine.h"
#include "ui/Dialogs.h"

#include <QColor>
#include <QImage>

#include <chrono>
#include <memory>

/// A note store on temporary folders with short delays, settings in a temporary INI file, the
/// signed-out sync shell and scripted dialogs: everything a screen is built from.
struct ScreenFixture
{
    TestSupport::TempFolders folders;
    std::unique_ptr<AppSettings> settings;
    std::unique_ptr<NoteStore> store;
    std::unique_ptr<SyncEngine> sync;
    ScriptedDialogs dialogs;

    ScreenFixture()
    {
        using namespace std::chrono_literals;
        settings = std::make_unique<AppSettings>(folders.path(QStringLiteral("settings.ini")));
        NoteStore::Options options;
        options.notesFolder = folders.notes();
        options.supportFolder = folders.support();
        options.noteWriteDelay = 20ms;
        options.indexWriteDelay = 10ms;
        options.rescanDelay = 30ms;
        options.watchFolder = false;
        options.backgroundIndexWrites = false;
        store = std::make_unique<NoteStore>(options);
        store->movesToSystemTrash = false;
        sync = std::make_unique<SyncEngine>(store.get(), settings.get());
    }

    /// Writes a PNG of `size` in one colour and returns its path.
    QString image(const QString &name, QSize size = { 200, 100 }, QColor color = Qt::red) const
    {
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(color);
        const QString path = folders.path(name);
        picture.save(path);
        return path;
    }
};
