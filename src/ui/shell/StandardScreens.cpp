// The product's screens behind the root view's factories.
#include "ui/account/AccountView.h"
#include "ui/editor/EditorView.h"
#include "ui/list/NoteListView.h"
#include "ui/shell/RootView.h"

#include "base/Localization.h"
#include "media/AudioRecorder.h"
#include "store/NoteStore.h"

namespace {

QWidget *makeList(const ScreenEnvironment &environment, const ListScreenArgs &args)
{
    auto *view = new NoteListView(environment.store, environment.settings, environment.sync,
                                  environment.dialogs, environment.telemetry);
    view->setTrashMode(args.trash);
    // Whether GStreamer can record here is asked when the record button is first used, not
    // when the list is made: loading GStreamer and its plugin registry at every start costs
    // time and megabytes. Where it cannot, the button goes and the list says why.
    if (args.onRecord) {
        view->setRecordHandler([view, onRecord = args.onRecord] {
            if (AudioRecorder::isAvailable()) {
                onRecord();
                return;
            }
            view->showProblem(L("recorder.failed", L("recorder.noEncoder")));
            view->setRecordHandler({});
        });
    }
    NoteStore *store = environment.store;
    QObject::connect(view, &NoteListView::openNote, view, [store, onOpen = args.onOpen](const QString &id) {
        const auto note = store->note(id);
        if (note && onOpen)
            onOpen(*note);
    });
    QObject::connect(view, &NoteListView::openNewNote, view,
                     [store, onCreate = args.onCreate](const QString &id) {
                         const auto note = store->note(id);
                         if (note && onCreate)
                             onCreate(*note);
                     });
    QObject::connect(view, &NoteListView::showAccount, view, [onBack = args.onBack] {
        if (onBack)
            onBack();
    });
    return view;
}

QWidget *makeEditor(const ScreenEnvironment &environment, const EditorScreenArgs &args)
{
    auto *view = new EditorView(args.noteId, environment.store, environment.settings,
                                environment.sync, environment.dialogs, environment.telemetry,
                                environment.ai);
    if (args.startInEdit)
        view->setMode(EditorView::Mode::Edit);
    if (args.startRecording)
        view->startRecording();
    QObject::connect(view, &EditorView::back, view, [onBack = args.onBack] {
        if (onBack)
            onBack();
    });
    QObject::connect(view, &EditorView::openNote, view, [onOpenNote = args.onOpenNote](const QString &id) {
        if (onOpenNote)
            onOpenNote(id);
    });
    return view;
}

QWidget *makeAccount(const ScreenEnvironment &environment, const AccountScreenArgs &args)
{
    return new AccountView(environment.store, environment.sync, environment.settings,
                           environment.dialogs, args.onBack, args.onShowTrash,
                           environment.telemetry, environment.hotKeys, environment.ai);
}

} // namespace

ScreenFactories ScreenFactories::standard()
{
    ScreenFactories factories;
    factories.list = makeList;
    factories.editor = makeEditor;
    factories.account = makeAccount;
    return factories;
}
