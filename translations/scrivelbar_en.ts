<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name></name>
    <message id="footer.quit">
        <source>Quit ScrivelBar</source>
        <extracomment>Main menu item (Ctrl+Q) and footer quit button tooltip. Arguments: none.</extracomment>
        <translation>Quit ScrivelBar</translation>
    </message>
    <message id="menu.edit">
        <source>Edit</source>
        <extracomment>Main menu: Edit menu title. Arguments: none.</extracomment>
        <translation>Edit</translation>
    </message>
    <message id="menu.undo">
        <source>Undo</source>
        <extracomment>Main menu item. Arguments: none.</extracomment>
        <translation>Undo</translation>
    </message>
    <message id="menu.redo">
        <source>Redo</source>
        <extracomment>Main menu item. Arguments: none.</extracomment>
        <translation>Redo</translation>
    </message>
    <message id="menu.cut">
        <source>Cut</source>
        <extracomment>Main menu item. Arguments: none.</extracomment>
        <translation>Cut</translation>
    </message>
    <message id="menu.copy">
        <source>Copy</source>
        <extracomment>Main menu item. Arguments: none.</extracomment>
        <translation>Copy</translation>
    </message>
    <message id="menu.paste">
        <source>Paste</source>
        <extracomment>Main menu item. Arguments: none.</extracomment>
        <translation>Paste</translation>
    </message>
    <message id="menu.selectAll">
        <source>Select All</source>
        <extracomment>Main menu item. Arguments: none.</extracomment>
        <translation>Select All</translation>
    </message>
    <message id="common.ok">
        <source>OK</source>
        <extracomment>Button that dismisses a banner, problem or message. Arguments: none.</extracomment>
        <translation>OK</translation>
    </message>
    <message id="common.cancel">
        <source>Cancel</source>
        <extracomment>Cancel button of dialogs and forms. Arguments: none.</extracomment>
        <translation>Cancel</translation>
    </message>
    <message id="common.delete">
        <source>Delete</source>
        <extracomment>Destructive button / context-menu entry: moves a note to the trash. Arguments: none.</extracomment>
        <translation>Delete</translation>
    </message>
    <message id="hotkey.off">
        <source>None</source>
        <extracomment>Hot-key picker entry: no global shortcut. Arguments: none.</extracomment>
        <translation>None</translation>
    </message>
    <message id="hotkey.optionSpace">
        <source>Alt+Space</source>
        <extracomment>Hot-key picker entry. Arguments: none.</extracomment>
        <translation>Alt+Space</translation>
    </message>
    <message id="hotkey.controlSpace">
        <source>Ctrl+Space</source>
        <extracomment>Hot-key picker entry. Arguments: none.</extracomment>
        <translation>Ctrl+Space</translation>
    </message>
    <message id="hotkey.commandShiftSpace">
        <source>Ctrl+Shift+Space</source>
        <extracomment>Hot-key picker entry. Arguments: none.</extracomment>
        <translation>Ctrl+Shift+Space</translation>
    </message>
    <message id="hotkey.controlOptionN">
        <source>Ctrl+Alt+N</source>
        <extracomment>Hot-key picker entry. Arguments: none.</extracomment>
        <translation>Ctrl+Alt+N</translation>
    </message>
    <message id="note.untitled">
        <source>Untitled</source>
        <extracomment>Title of a note without text or media; also compared with the derived title before upload. Arguments: none.</extracomment>
        <translation>Untitled</translation>
    </message>
    <message id="note.image.dated">
        <source>Image %1</source>
        <extracomment>Title of a note holding only an unlabelled image; %1 = creation time stamp. Arguments: %1 = stamp (text).</extracomment>
        <translation>Image %1</translation>
    </message>
    <message id="note.audio.dated">
        <source>Recording %1</source>
        <extracomment>Title of a note holding only a recording; %1 = creation time stamp. Arguments: %1 = stamp (text).</extracomment>
        <translation>Recording %1</translation>
    </message>
    <message id="note.image">
        <source>Image</source>
        <extracomment>Word for an image, used in the suggested file name when exporting one. Arguments: none.</extracomment>
        <translation>Image</translation>
    </message>
    <message id="note.audio">
        <source>Recording</source>
        <extracomment>Word for a recording, used in the suggested file name when exporting one. Arguments: none.</extracomment>
        <translation>Recording</translation>
    </message>
    <message id="store.error.save">
        <source>The note “%1” could not be saved: %2</source>
        <extracomment>Store error (lastError): a note file could not be written. Arguments: %1 = title (text), %2 = error (text).</extracomment>
        <translation>The note “%1” could not be saved: %2</translation>
    </message>
    <message id="store.error.index">
        <source>The notes index could not be saved: %1</source>
        <extracomment>Store error (lastError): the index file could not be written. Arguments: %1 = error (text).</extracomment>
        <translation>The notes index could not be saved: %1</translation>
    </message>
    <message id="store.error.folder">
        <source>The notes folder is not available: %1</source>
        <extracomment>Store error (lastError): the notes folder could not be created, or it is missing or looks like an unmounted drive (no note is trashed then). Arguments: %1 = path (text).</extracomment>
        <translation>The notes folder is not available: %1</translation>
    </message>
    <message id="store.error.attachment">
        <source>The attachment could not be saved: %1</source>
        <extracomment>Store error (lastError): an image or recording could not be imported or saved. Arguments: %1 = error (text).</extracomment>
        <translation>The attachment could not be saved: %1</translation>
    </message>
    <message id="store.warning.massDeletion">
        <source>%1 of your %2 note files disappeared from the notes folder at once, so none of them was moved to the trash. Check the folder: a disconnected drive or a sync tool may be the cause.</source>
        <extracomment>Store warning (massDeletionWarning); %1 = files missing (always more than 5), %2 = live notes. Arguments: %1 = m (number), %2 = n (number).</extracomment>
        <translation>%1 of your %2 note files disappeared from the notes folder at once, so none of them was moved to the trash. Check the folder: a disconnected drive or a sync tool may be the cause.</translation>
    </message>
    <message id="store.conflictCopy">
        <source>Conflict copy: this version was edited on this device (%1) while another one arrived from the server.</source>
        <extracomment>Caption appended (after a rule) to a conflict copy's body; %1 = time of the local edit. Arguments: %1 = time (text).</extracomment>
        <translation>Conflict copy: this version was edited on this device (%1) while another one arrived from the server.</translation>
    </message>
    <message id="store.error.indexRestored">
        <source>The notes index was damaged, so it was restored from its last good copy. The damaged file was kept as %1.</source>
        <extracomment>Store error (lastError): the index file could not be read and its backup was used. Arguments: %1 = path of the kept damaged file (text).</extracomment>
        <translation>The notes index was damaged, so it was restored from its last good copy. The damaged file was kept as %1.</translation>
    </message>
    <message id="store.error.indexRebuilt">
        <source>The notes index was damaged and no good copy was found, so it was rebuilt from the note files; trash and sync state start afresh. The damaged file was kept as %1.</source>
        <extracomment>Store error (lastError): the index file and its backup could not be read; the index was rebuilt from the notes folder. Arguments: %1 = path of the kept damaged file (text).</extracomment>
        <translation>The notes index was damaged and no good copy was found, so it was rebuilt from the note files; trash and sync state start afresh. The damaged file was kept as %1.</translation>
    </message>
    <message id="store.error.indexRepaired">
        <source>The notes index held %1 damaged or repeated records; they were left out and the notes' files were read again.</source>
        <extracomment>Store error (lastError): some records of the index file were damaged or duplicated and were skipped. Arguments: %1 = number of records (number).</extracomment>
        <translation>The notes index held %1 damaged or repeated records; they were left out and the notes' files were read again.</translation>
    </message>
    <message id="store.error.fileKept">
        <source>The file “%1” is not UTF-8 text, so ScrivelBar did not overwrite it: it was moved unchanged to %2.</source>
        <extracomment>Store error (lastError): a note file that could not be decoded (or a link) was set aside before the note was written. Arguments: %1 = file name (text), %2 = path it was moved to (text).</extracomment>
        <translation>The file “%1” is not UTF-8 text, so ScrivelBar did not overwrite it: it was moved unchanged to %2.</translation>
    </message>
    <message id="store.conflictCopy.outside">
        <source>Conflict copy: this version was written into the notes folder by another program (%1) while ScrivelBar had a different one.</source>
        <extracomment>Caption appended (after a rule) to a conflict copy made from a file changed by another program; %1 = time of that file. Arguments: %1 = time (text).</extracomment>
        <translation>Conflict copy: this version was written into the notes folder by another program (%1) while ScrivelBar had a different one.</translation>
    </message>
    <message id="store.warning.unreadableFiles">
        <source>%1 files in the notes folder could not be read as notes and were left untouched: %2</source>
        <extracomment>Store warning: files that are not readable UTF-8 text or are symbolic links. Arguments: %1 = count (number), %2 = file names (text).</extracomment>
        <translation>%1 files in the notes folder could not be read as notes and were left untouched: %2</translation>
    </message>
    <message id="store.undo.editNote">
        <source>Edit Note</source>
        <extracomment>Name of the undo step of a body edit (QUndoCommand text). Arguments: none.</extracomment>
        <translation>Edit Note</translation>
    </message>
    <message id="error.transport">
        <source>The server could not be reached: %1</source>
        <extracomment>Error description: the request did not complete; %1 = the network library's description. Arguments: %1 = message (text).</extracomment>
        <translation>The server could not be reached: %1</translation>
    </message>
    <message id="error.noBrowser">
        <source>No web browser could be opened.</source>
        <extracomment>Sign-in failure: no program could open the sign-in page. Arguments: none.</extracomment>
        <translation>No web browser could be opened.</translation>
    </message>
    <message id="error.noServer">
        <source>No server address is configured.</source>
        <extracomment>Error description: no server address configured. Arguments: none.</extracomment>
        <translation>No server address is configured.</translation>
    </message>
    <message id="error.unauthorized">
        <source>You are not signed in, or your session has expired. Please sign in again.</source>
        <extracomment>Error description: no or rejected session token. Arguments: none.</extracomment>
        <translation>You are not signed in, or your session has expired. Please sign in again.</translation>
    </message>
    <message id="error.syncNotIncluded">
        <source>Sync is not included in your account.</source>
        <extracomment>Error description: HTTP 402. Arguments: none.</extracomment>
        <translation>Sync is not included in your account.</translation>
    </message>
    <message id="error.tooManyRequests">
        <source>Too many requests. Please try again in a moment.</source>
        <extracomment>Error description: HTTP 429. Arguments: none.</extracomment>
        <translation>Too many requests. Please try again in a moment.</translation>
    </message>
    <message id="error.notesFull">
        <source>Your account's storage for notes is full.</source>
        <extracomment>Error description: HTTP 507, note storage full. Arguments: none.</extracomment>
        <translation>Your account's storage for notes is full.</translation>
    </message>
    <message id="error.mediaFull">
        <source>Your account's storage for images and recordings is full.</source>
        <extracomment>Error description: HTTP 507, media storage full. Arguments: none.</extracomment>
        <translation>Your account's storage for images and recordings is full.</translation>
    </message>
    <message id="error.server">
        <source>The server reported an error (HTTP %1).</source>
        <extracomment>Error description: other HTTP status without a message; %1 = status code. Arguments: %1 = status (number).</extracomment>
        <translation>The server reported an error (HTTP %1).</translation>
    </message>
    <message id="error.invalidResponse">
        <source>The server sent an invalid response.</source>
        <extracomment>Error description: the answer was not valid HTTP or held no valid address. Arguments: none.</extracomment>
        <translation>The server sent an invalid response.</translation>
    </message>
    <message id="account.google.failed">
        <source>Google sign-in failed: %1</source>
        <extracomment>Sign-in failure: listener error or error returned by Google. Arguments: %1 = message (text).</extracomment>
        <translation>Google sign-in failed: %1</translation>
    </message>
    <message id="account.google.cancelled">
        <source>Google sign-in was cancelled or took too long.</source>
        <extracomment>Sign-in failure: timed out or the redirect was incomplete. Arguments: none.</extracomment>
        <translation>Google sign-in was cancelled or took too long.</translation>
    </message>
    <message id="account.google.unavailable">
        <source>Google sign-in is not available on this server right now.</source>
        <extracomment>Sign-in failure: server health unknown or no Google client id. Arguments: none.</extracomment>
        <translation>Google sign-in is not available on this server right now.</translation>
    </message>
    <message id="account.google.page.done">
        <source>You're signed in. You can close this tab and return to ScrivelBar.</source>
        <extracomment>Browser page after a successful sign-in redirect. Arguments: none.</extracomment>
        <translation>You're signed in. You can close this tab and return to ScrivelBar.</translation>
    </message>
    <message id="account.google.page.denied">
        <source>Sign-in was not completed. You can close this tab and return to ScrivelBar.</source>
        <extracomment>Browser page after a refused sign-in. Arguments: none.</extracomment>
        <translation>Sign-in was not completed. You can close this tab and return to ScrivelBar.</translation>
    </message>
    <message id="ai.connect.timedOut">
        <source>The browser did not answer in time.</source>
        <extracomment>Loopback listener failure: no browser redirect in time. Arguments: none.</extracomment>
        <translation>The browser did not answer in time.</translation>
    </message>
    <message id="editor.shareLink.signedOut">
        <source>Sign in to share notes by link.</source>
        <extracomment>Share-link error: no account signed in. Arguments: none.</extracomment>
        <translation>Sign in to share notes by link.</translation>
    </message>
    <message id="ai.provider.none">
        <source>None</source>
        <extracomment>AI provider picker entry: no provider. Arguments: none.</extracomment>
        <translation>None</translation>
    </message>
    <message id="ai.source.local">
        <source>On this device</source>
        <extracomment>Origin of an on-device AI result; also the argument of the running line. Arguments: none.</extracomment>
        <translation>On this device</translation>
    </message>
    <message id="ai.error.noKey">
        <source>No API key for %1 is saved. Add one in the AI settings.</source>
        <extracomment>AI error: no API key stored; %1 = provider name. Arguments: %1 = provider (text).</extracomment>
        <translation>No API key for %1 is saved. Add one in the AI settings.</translation>
    </message>
    <message id="ai.error.http">
        <source>The AI provider answered with error %1: %2</source>
        <extracomment>AI error: provider answered with an HTTP error; %1 = status, %2 = provider's message (may be empty). Arguments: %1 = status (number), %2 = message (text).</extracomment>
        <translation>The AI provider answered with error %1: %2</translation>
    </message>
    <message id="ai.error.tooLarge">
        <source>The file is too large to send (limit: %1).</source>
        <extracomment>AI error: file too large to upload; %1 = limit text such as “25 MB”. Arguments: %1 = limit (text).</extracomment>
        <translation>The file is too large to send (limit: %1).</translation>
    </message>
    <message id="ai.error.refused">
        <source>The AI model declined to answer.</source>
        <extracomment>AI error: the model refused. Arguments: none.</extracomment>
        <translation>The AI model declined to answer.</translation>
    </message>
    <message id="ai.error.empty">
        <source>The AI returned no text.</source>
        <extracomment>AI error: empty answer or the note is gone. Arguments: none.</extracomment>
        <translation>The AI returned no text.</translation>
    </message>
    <message id="ai.error.noTranscription">
        <source>Recordings cannot be transcribed through the provider “%1”: in the cloud only OpenAI transcribes. Choose OpenAI or transcribe on this device.</source>
        <extracomment>AI error: chosen provider cannot transcribe; %1 = provider name (empty for none). Arguments: %1 = provider (text).</extracomment>
        <translation>Recordings cannot be transcribed through the provider “%1”: in the cloud only OpenAI transcribes. Choose OpenAI or transcribe on this device.</translation>
    </message>
    <message id="ai.error.nothingToSummarize">
        <source>This note has no text to summarize.</source>
        <extracomment>AI error: the note has no text lines. Arguments: none.</extracomment>
        <translation>This note has no text to summarize.</translation>
    </message>
    <message id="ai.error.noProvider">
        <source>Choose an AI provider in the settings first.</source>
        <extracomment>AI error: provider engine chosen but no provider. Arguments: none.</extracomment>
        <translation>Choose an AI provider in the settings first.</translation>
    </message>
    <message id="ai.error.noText">
        <source>No text was found in the image.</source>
        <extracomment>AI error: no text recognised in the image. Arguments: none.</extracomment>
        <translation>No text was found in the image.</translation>
    </message>
    <message id="ai.error.speechDenied">
        <source>Speech recognition is not allowed. Allow it in the system settings.</source>
        <extracomment>AI error: speech recognition not permitted. Arguments: none.</extracomment>
        <translation>Speech recognition is not allowed. Allow it in the system settings.</translation>
    </message>
    <message id="ai.error.speechLanguage">
        <source>On-device speech recognition is not available for %1.</source>
        <extracomment>AI error: no on-device speech model for the language; %1 = language name in the interface language. Arguments: %1 = language (text).</extracomment>
        <translation>On-device speech recognition is not available for %1.</translation>
    </message>
    <message id="ai.error.noSpeech">
        <source>No speech was recognized in the recording.</source>
        <extracomment>AI error: nothing recognised in the recording. Arguments: none.</extracomment>
        <translation>No speech was recognized in the recording.</translation>
    </message>
    <message id="ai.error.tooLongForLocal">
        <source>This note is too long to summarize on this device. Try a cloud provider.</source>
        <extracomment>AI error: note exceeds the local model's context. Arguments: none.</extracomment>
        <translation>This note is too long to summarize on this device. Try a cloud provider.</translation>
    </message>
    <message id="ai.local.summary.unsupported">
        <source>Summaries on this device are not supported on this system.</source>
        <extracomment>Why local summaries are unavailable: not supported here. Arguments: none.</extracomment>
        <translation>Summaries on this device are not supported on this system.</translation>
    </message>
    <message id="ai.local.summary.off">
        <source>Summaries on this device need a local language model server (such as Ollama), and none is running.</source>
        <extracomment>Why local summaries are unavailable: no local model server running. Arguments: none.</extracomment>
        <translation>Summaries on this device need a local language model server (such as Ollama), and none is running.</translation>
    </message>
    <message id="ai.local.summary.notReady">
        <source>The local language model is not ready yet: no model is installed or it is still loading.</source>
        <extracomment>Why local summaries are unavailable: server up but no model ready. Arguments: none.</extracomment>
        <translation>The local language model is not ready yet: no model is installed or it is still loading.</translation>
    </message>
    <message id="ai.summary.heading">
        <source>Summary</source>
        <extracomment>Heading of a summary appended to a note (after “## ”). Arguments: none.</extracomment>
        <translation>Summary</translation>
    </message>
    <message id="ai.summary.of">
        <source>Summary of %1</source>
        <extracomment>Heading of a summary saved as a new note; %1 = source note's title. Arguments: %1 = title (text).</extracomment>
        <translation>Summary of %1</translation>
    </message>
    <message id="ai.connect.cancelled">
        <source>Connecting to OpenRouter was cancelled.</source>
        <extracomment>OpenRouter connect failure: redirect without a code. Arguments: none.</extracomment>
        <translation>Connecting to OpenRouter was cancelled.</translation>
    </message>
    <message id="ai.connect.page.done">
        <source>ScrivelBar is connected to OpenRouter. You can close this tab.</source>
        <extracomment>Browser page after a successful OpenRouter connect. Arguments: none.</extracomment>
        <translation>ScrivelBar is connected to OpenRouter. You can close this tab.</translation>
    </message>
    <message id="ai.connect.page.denied">
        <source>OpenRouter was not connected. You can close this tab and try again in ScrivelBar.</source>
        <extracomment>Browser page after a refused OpenRouter connect. Arguments: none.</extracomment>
        <translation>OpenRouter was not connected. You can close this tab and try again in ScrivelBar.</translation>
    </message>
    <message id="ai.running.text">
        <source>Extracting text… (%1)</source>
        <extracomment>AI result panel running line (extract text); %1 = provider name or “On this device”. Arguments: %1 = source (text).</extracomment>
        <translation>Extracting text… (%1)</translation>
    </message>
    <message id="ai.running.transcript">
        <source>Transcribing… (%1)</source>
        <extracomment>AI result panel running line (transcribe); %1 = provider name or “On this device”. Arguments: %1 = source (text).</extracomment>
        <translation>Transcribing… (%1)</translation>
    </message>
    <message id="ai.running.summary">
        <source>Summarizing… (%1)</source>
        <extracomment>AI result panel running line (summarize); %1 = provider name or “On this device”. Arguments: %1 = source (text).</extracomment>
        <translation>Summarizing… (%1)</translation>
    </message>
    <message id="ai.result.text">
        <source>Text from Image</source>
        <extracomment>AI result title (extracted text), followed by “ · source”. Arguments: none.</extracomment>
        <translation>Text from Image</translation>
    </message>
    <message id="ai.result.transcript">
        <source>Transcript</source>
        <extracomment>AI result title (transcript), followed by “ · source”. Arguments: none.</extracomment>
        <translation>Transcript</translation>
    </message>
    <message id="ai.result.summary">
        <source>Summary</source>
        <extracomment>AI result title (summary), followed by “ · source”. Arguments: none.</extracomment>
        <translation>Summary</translation>
    </message>
    <message id="ai.result.discard">
        <source>Discard</source>
        <extracomment>Tooltip of the button that discards an AI result. Arguments: none.</extracomment>
        <translation>Discard</translation>
    </message>
    <message id="ai.result.newNote">
        <source>Save as New Note</source>
        <extracomment>AI result button. Arguments: none.</extracomment>
        <translation>Save as New Note</translation>
    </message>
    <message id="ai.result.append">
        <source>Add to Note</source>
        <extracomment>AI result button (summary). Arguments: none.</extracomment>
        <translation>Add to Note</translation>
    </message>
    <message id="ai.result.insert">
        <source>Insert into Note</source>
        <extracomment>AI result button (extracted text, transcript). Arguments: none.</extracomment>
        <translation>Insert into Note</translation>
    </message>
    <message id="ai.result.copy">
        <source>Copy</source>
        <extracomment>AI result button. Arguments: none.</extracomment>
        <translation>Copy</translation>
    </message>
    <message id="ai.title">
        <source>AI Assistant</source>
        <extracomment>AI settings section title. Arguments: none.</extracomment>
        <translation>AI Assistant</translation>
    </message>
    <message id="ai.subtitle">
        <source>Summaries, text from images and transcripts of recordings.</source>
        <extracomment>AI settings section subtitle. Arguments: none.</extracomment>
        <translation>Summaries, text from images and transcripts of recordings.</translation>
    </message>
    <message id="ai.summaries">
        <source>Summaries</source>
        <extracomment>AI settings picker label (summary engine). Arguments: none.</extracomment>
        <translation>Summaries</translation>
    </message>
    <message id="ai.engine.local.summary">
        <source>Local language model</source>
        <extracomment>Summary engine picker entry: local language model. Arguments: none.</extracomment>
        <translation>Local language model</translation>
    </message>
    <message id="ai.engine.local">
        <source>On this device</source>
        <extracomment>Transcription engine picker entry: on this device. Arguments: none.</extracomment>
        <translation>On this device</translation>
    </message>
    <message id="ai.engine.provider">
        <source>Cloud provider</source>
        <extracomment>Engine picker entry: the chosen cloud provider. Arguments: none.</extracomment>
        <translation>Cloud provider</translation>
    </message>
    <message id="ai.transcription">
        <source>Transcription</source>
        <extracomment>AI settings picker label (transcription engine). Arguments: none.</extracomment>
        <translation>Transcription</translation>
    </message>
    <message id="ai.transcription.openaiOnly">
        <source>Only OpenAI can transcribe recordings in the cloud.</source>
        <extracomment>AI settings caption (orange) when the provider cannot transcribe. Arguments: none.</extracomment>
        <translation>Only OpenAI can transcribe recordings in the cloud.</translation>
    </message>
    <message id="ai.speechLanguage">
        <source>Speech language</source>
        <extracomment>AI settings picker label (speech language). Arguments: none.</extracomment>
        <translation>Speech language</translation>
    </message>
    <message id="ai.speechLanguage.interface">
        <source>Same as interface</source>
        <extracomment>Speech language picker entry: follow the interface language. Arguments: none.</extracomment>
        <translation>Same as interface</translation>
    </message>
    <message id="ai.local.hint">
        <source>Work done on this device never leaves this computer. Text in images is always recognized on this device.</source>
        <extracomment>AI settings caption. Arguments: none.</extracomment>
        <translation>Work done on this device never leaves this computer. Text in images is always recognized on this device.</translation>
    </message>
    <message id="ai.provider">
        <source>Provider</source>
        <extracomment>AI settings picker label (cloud provider). Arguments: none.</extracomment>
        <translation>Provider</translation>
    </message>
    <message id="ai.provider.hint">
        <source>Notes you summarize and recordings you transcribe are sent to %1 with your own key.</source>
        <extracomment>AI settings caption; %1 = provider name. Arguments: %1 = provider (text).</extracomment>
        <translation>Notes you summarize and recordings you transcribe are sent to %1 with your own key.</translation>
    </message>
    <message id="ai.key.saved">
        <source>Key saved</source>
        <extracomment>AI settings: a key is stored for the provider. Arguments: none.</extracomment>
        <translation>Key saved</translation>
    </message>
    <message id="ai.key.remove">
        <source>Remove Key</source>
        <extracomment>AI settings button: delete the stored key. Arguments: none.</extracomment>
        <translation>Remove Key</translation>
    </message>
    <message id="ai.key.placeholder">
        <source>Paste your API key</source>
        <extracomment>AI settings: placeholder of the key field. Arguments: none.</extracomment>
        <translation>Paste your API key</translation>
    </message>
    <message id="ai.key.save">
        <source>Save Key</source>
        <extracomment>AI settings button: store the typed key. Arguments: none.</extracomment>
        <translation>Save Key</translation>
    </message>
    <message id="ai.key.get">
        <source>Get a key</source>
        <extracomment>AI settings link to the provider's key page. Arguments: none.</extracomment>
        <translation>Get a key</translation>
    </message>
    <message id="ai.connect.openrouter">
        <source>Connect with OpenRouter</source>
        <extracomment>AI settings button: OpenRouter browser connect. Arguments: none.</extracomment>
        <translation>Connect with OpenRouter</translation>
    </message>
    <message id="ai.connect.hint">
        <source>Signs in through your browser and saves a key for you.</source>
        <extracomment>AI settings caption next to the connect button. Arguments: none.</extracomment>
        <translation>Signs in through your browser and saves a key for you.</translation>
    </message>
    <message id="ai.model">
        <source>Model</source>
        <extracomment>AI settings label of the model field. Arguments: none.</extracomment>
        <translation>Model</translation>
    </message>
    <message id="ai.askBeforeSending">
        <source>Ask before sending a note</source>
        <extracomment>AI settings switch. Arguments: none.</extracomment>
        <translation>Ask before sending a note</translation>
    </message>
    <message id="ai.summarize">
        <source>Summarize</source>
        <extracomment>Editor toolbar tooltip: summarize the note. Arguments: none.</extracomment>
        <translation>Summarize</translation>
    </message>
    <message id="ai.extractText">
        <source>Extract Text</source>
        <extracomment>Menu entry / tooltip: recognise the text in an image. Arguments: none.</extracomment>
        <translation>Extract Text</translation>
    </message>
    <message id="ai.transcribe">
        <source>Transcribe</source>
        <extracomment>Menu entry / tooltip: transcribe a recording. Arguments: none.</extracomment>
        <translation>Transcribe</translation>
    </message>
    <message id="ai.consent.title">
        <source>Send to %1?</source>
        <extracomment>Consent dialog title; %1 = provider name. Arguments: %1 = provider (text).</extracomment>
        <translation>Send to %1?</translation>
    </message>
    <message id="ai.consent.message.text">
        <source>The text of this note will be sent to %1 to write a summary.</source>
        <extracomment>Consent dialog message (summary); %1 = provider name. Arguments: %1 = provider (text).</extracomment>
        <translation>The text of this note will be sent to %1 to write a summary.</translation>
    </message>
    <message id="ai.consent.message.audio">
        <source>The attached file will be sent to %1 to turn it into text.</source>
        <extracomment>Consent dialog message (recording or image); %1 = provider name. Arguments: %1 = provider (text).</extracomment>
        <translation>The attached file will be sent to %1 to turn it into text.</translation>
    </message>
    <message id="ai.consent.send">
        <source>Send to %1</source>
        <extracomment>Consent dialog button: send once; %1 = provider name. Arguments: %1 = provider (text).</extracomment>
        <translation>Send to %1</translation>
    </message>
    <message id="ai.consent.always">
        <source>Always Send</source>
        <extracomment>Consent dialog button: send and stop asking. Arguments: none.</extracomment>
        <translation>Always Send</translation>
    </message>
    <message id="recorder.failed">
        <source>Recording failed: %1</source>
        <extracomment>Recorder failure message; %1 = error description. Arguments: %1 = error (text).</extracomment>
        <translation>Recording failed: %1</translation>
    </message>
    <message id="recorder.requesting">
        <source>Waiting for the microphone…</source>
        <extracomment>Recording screen caption while waiting for the microphone. Arguments: none.</extracomment>
        <translation>Waiting for the microphone…</translation>
    </message>
    <message id="recorder.permission.title">
        <source>Microphone access is off</source>
        <extracomment>Recording screen title: microphone access refused. Arguments: none.</extracomment>
        <translation>Microphone access is off</translation>
    </message>
    <message id="recorder.permission.body">
        <source>Allow ScrivelBar to use the microphone in the system settings, then try again.</source>
        <extracomment>Recording screen explanation: microphone access refused. Arguments: none.</extracomment>
        <translation>Allow ScrivelBar to use the microphone in the system settings, then try again.</translation>
    </message>
    <message id="recorder.permission.open">
        <source>Open Settings</source>
        <extracomment>Recording screen button: open the system's microphone settings. Arguments: none.</extracomment>
        <translation>Open Settings</translation>
    </message>
    <message id="recorder.recording">
        <source>Recording</source>
        <extracomment>Recording screen label next to the red dot. Arguments: none.</extracomment>
        <translation>Recording</translation>
    </message>
    <message id="recorder.stop">
        <source>Stop</source>
        <extracomment>Recording screen button: stop and keep the recording. Arguments: none.</extracomment>
        <translation>Stop</translation>
    </message>
    <message id="recorder.cancel">
        <source>Cancel</source>
        <extracomment>Recording screen button: discard the recording. Arguments: none.</extracomment>
        <translation>Cancel</translation>
    </message>
    <message id="player.play">
        <source>Play</source>
        <extracomment>Audio block tooltip. Arguments: none.</extracomment>
        <translation>Play</translation>
    </message>
    <message id="player.pause">
        <source>Pause</source>
        <extracomment>Audio block tooltip. Arguments: none.</extracomment>
        <translation>Pause</translation>
    </message>
    <message id="telemetry.required.title">
        <source>Usage statistics are on</source>
        <extracomment>Telemetry row label when statistics are mandatory. Arguments: none.</extracomment>
        <translation>Usage statistics are on</translation>
    </message>
    <message id="telemetry.required">
        <source>This account sends a few usage events (such as syncs and AI use) to help improve ScrivelBar. The content of your notes is never included.</source>
        <extracomment>Telemetry row explanation when statistics are mandatory. Arguments: none.</extracomment>
        <translation>This account sends a few usage events (such as syncs and AI use) to help improve ScrivelBar. The content of your notes is never included.</translation>
    </message>
    <message id="telemetry.optional">
        <source>Share usage statistics</source>
        <extracomment>Telemetry row switch. Arguments: none.</extracomment>
        <translation>Share usage statistics</translation>
    </message>
    <message id="telemetry.optional.hint">
        <source>A few usage events (such as syncs and AI use), never the content of your notes.</source>
        <extracomment>Telemetry row caption. Arguments: none.</extracomment>
        <translation>A few usage events (such as syncs and AI use), never the content of your notes.</translation>
    </message>
    <message id="telemetry.privacy">
        <source>Privacy Policy</source>
        <extracomment>Telemetry row link to the server's privacy page. Arguments: none.</extracomment>
        <translation>Privacy Policy</translation>
    </message>
    <message id="feedback.button">
        <source>Send Feedback…</source>
        <extracomment>Account screen button that opens the feedback form. Arguments: none.</extracomment>
        <translation>Send Feedback…</translation>
    </message>
    <message id="feedback.title">
        <source>Send Feedback</source>
        <extracomment>Feedback form title. Arguments: none.</extracomment>
        <translation>Send Feedback</translation>
    </message>
    <message id="feedback.placeholder">
        <source>What would you like to tell us?</source>
        <extracomment>Feedback form: placeholder of the message. Arguments: none.</extracomment>
        <translation>What would you like to tell us?</translation>
    </message>
    <message id="feedback.picture">
        <source>Include a picture of the panel</source>
        <extracomment>Feedback form switch. Arguments: none.</extracomment>
        <translation>Include a picture of the panel</translation>
    </message>
    <message id="feedback.diagnostics">
        <source>Include diagnostics</source>
        <extracomment>Feedback form switch. Arguments: none.</extracomment>
        <translation>Include diagnostics</translation>
    </message>
    <message id="feedback.diagnostics.hint">
        <source>Versions, the computer model, the app's log of the last 24 hours and recent crash reports.</source>
        <extracomment>Feedback form caption under the diagnostics switch. Arguments: none.</extracomment>
        <translation>Versions, the computer model, the app's log of the last 24 hours and recent crash reports.</translation>
    </message>
    <message id="feedback.diagnostics.show">
        <source>Show Diagnostics</source>
        <extracomment>Feedback form button: show or hide the diagnostics text. Arguments: none.</extracomment>
        <translation>Show Diagnostics</translation>
    </message>
    <message id="feedback.send">
        <source>Send</source>
        <extracomment>Feedback form button. Arguments: none.</extracomment>
        <translation>Send</translation>
    </message>
    <message id="feedback.failed">
        <source>The feedback could not be sent: %1</source>
        <extracomment>Feedback form problem; %1 = error description. Arguments: %1 = error (text).</extracomment>
        <translation>The feedback could not be sent: %1</translation>
    </message>
    <message id="feedback.sent">
        <source>Thank you! Your feedback was sent.</source>
        <extracomment>Feedback form after sending. Arguments: none.</extracomment>
        <translation>Thank you! Your feedback was sent.</translation>
    </message>
    <message id="list.search">
        <source>Search notes</source>
        <extracomment>Note list: search field placeholder. Arguments: none.</extracomment>
        <translation>Search notes</translation>
    </message>
    <message id="list.new">
        <source>New Note</source>
        <extracomment>Note list tooltip: new note (Ctrl+N). Arguments: none.</extracomment>
        <translation>New Note</translation>
    </message>
    <message id="list.newImage">
        <source>New Note from Image</source>
        <extracomment>Note list tooltip and open-dialog button: new note from an image. Arguments: none.</extracomment>
        <translation>New Note from Image</translation>
    </message>
    <message id="list.newAudio">
        <source>New Recording</source>
        <extracomment>Note list tooltip: new recording. Arguments: none.</extracomment>
        <translation>New Recording</translation>
    </message>
    <message id="list.filter">
        <source>Filter</source>
        <extracomment>Note list tooltip of the filter menu. Arguments: none.</extracomment>
        <translation>Filter</translation>
    </message>
    <message id="list.filter.all">
        <source>All Notes</source>
        <extracomment>Filter menu entry: no filter. Arguments: none.</extracomment>
        <translation>All Notes</translation>
    </message>
    <message id="list.filter.markdown">
        <source>Text</source>
        <extracomment>Filter menu entry: notes with text. Arguments: none.</extracomment>
        <translation>Text</translation>
    </message>
    <message id="list.filter.image">
        <source>Images</source>
        <extracomment>Filter menu entry: notes with images. Arguments: none.</extracomment>
        <translation>Images</translation>
    </message>
    <message id="list.filter.audio">
        <source>Recordings</source>
        <extracomment>Filter menu entry: notes with recordings. Arguments: none.</extracomment>
        <translation>Recordings</translation>
    </message>
    <message id="list.trash.title">
        <source>Trash</source>
        <extracomment>Trash screen title. Arguments: none.</extracomment>
        <translation>Trash</translation>
    </message>
    <message id="list.trash.search">
        <source>Search the trash</source>
        <extracomment>Trash screen: search field placeholder. Arguments: none.</extracomment>
        <translation>Search the trash</translation>
    </message>
    <message id="list.emptyTrash">
        <source>Empty Trash</source>
        <extracomment>Button and confirmation action: empty the trash. Arguments: none.</extracomment>
        <translation>Empty Trash</translation>
    </message>
    <message id="list.emptyTrash.title" numerus="yes">
        <source>Empty the trash (%1 notes)? This cannot be undone.</source>
        <extracomment>Empty-trash confirmation title; %1 = notes in the trash (may be 0 when only media remain). Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>Empty the trash (%1 note)? This cannot be undone.</numerusform>
            <numerusform>Empty the trash (%1 notes)? This cannot be undone.</numerusform>
        </translation>
    </message>
    <message id="list.conflict" numerus="yes">
        <source>%1 notes were changed in two places; conflict copies were kept.</source>
        <extracomment>Note list banner; %1 = conflict copies made by the last sync. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 note was changed in two places; a conflict copy was kept.</numerusform>
            <numerusform>%1 notes were changed in two places; conflict copies were kept.</numerusform>
        </translation>
    </message>
    <message id="list.massDeletion.title" numerus="yes">
        <source>The files of %1 notes disappeared from the notes folder. The notes are kept until you decide.</source>
        <extracomment>Note list banner while the store holds notes whose files vanished at once; %1 = held notes. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>The file of %1 note disappeared from the notes folder. The note is kept until you decide.</numerusform>
            <numerusform>The files of %1 notes disappeared from the notes folder. The notes are kept until you decide.</numerusform>
        </translation>
    </message>
    <message id="list.massDeletion.putBack">
        <source>Put Files Back</source>
        <extracomment>Mass-deletion banner button: write the held notes' files again. Arguments: none.</extracomment>
        <translation>Put Files Back</translation>
    </message>
    <message id="list.massDeletion.trash">
        <source>Move to Trash</source>
        <extracomment>Mass-deletion banner button and confirmation action: move the held notes to the trash. Arguments: none.</extracomment>
        <translation>Move to Trash</translation>
    </message>
    <message id="list.massDeletion.confirm" numerus="yes">
        <source>Move %1 notes to the trash?</source>
        <extracomment>Confirmation title before the held notes go to the trash; %1 = held notes. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>Move %1 note to the trash?</numerusform>
            <numerusform>Move %1 notes to the trash?</numerusform>
        </translation>
    </message>
    <message id="list.massDeletion.confirm.message">
        <source>Their files are no longer in the notes folder. You can still restore the notes from the trash.</source>
        <extracomment>Confirmation message before the held notes go to the trash. Arguments: none.</extracomment>
        <translation>Their files are no longer in the notes folder. You can still restore the notes from the trash.</translation>
    </message>
    <message id="list.unreadable" numerus="yes">
        <source>%1 files in the notes folder could not be read and were left untouched.</source>
        <extracomment>Note list line: files in the notes folder the store could not read; %1 = number of files. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 file in the notes folder could not be read and was left untouched.</numerusform>
            <numerusform>%1 files in the notes folder could not be read and were left untouched.</numerusform>
        </translation>
    </message>
    <message id="list.unreadable.show">
        <source>Show Files</source>
        <extracomment>Note list: button that shows the names of the unreadable files. Arguments: none.</extracomment>
        <translation>Show Files</translation>
    </message>
    <message id="list.unreadable.hide">
        <source>Hide Files</source>
        <extracomment>Note list: button that hides the names of the unreadable files. Arguments: none.</extracomment>
        <translation>Hide Files</translation>
    </message>
    <message id="list.menu.copy">
        <source>Copy</source>
        <extracomment>Note row context menu: copy the note. Arguments: none.</extracomment>
        <translation>Copy</translation>
    </message>
    <message id="list.menu.deleteForever">
        <source>Delete Permanently</source>
        <extracomment>Trash row context menu and purge confirmation button. Arguments: none.</extracomment>
        <translation>Delete Permanently</translation>
    </message>
    <message id="list.restore">
        <source>Restore</source>
        <extracomment>Trash row context menu. Arguments: none.</extracomment>
        <translation>Restore</translation>
    </message>
    <message id="list.empty.trash">
        <source>The trash is empty.</source>
        <extracomment>Empty trash message (trash screen, account screen). Arguments: none.</extracomment>
        <translation>The trash is empty.</translation>
    </message>
    <message id="list.empty.search">
        <source>No notes match “%1”.</source>
        <extracomment>Empty state for a search; %1 = the query as typed. Arguments: %1 = query (text).</extracomment>
        <translation>No notes match “%1”.</translation>
    </message>
    <message id="list.empty.create">
        <source>Create Note</source>
        <extracomment>Empty-state button: create a note from the query. Arguments: none.</extracomment>
        <translation>Create Note</translation>
    </message>
    <message id="list.empty.filter">
        <source>No notes of this kind.</source>
        <extracomment>Empty state for a tag filter. Arguments: none.</extracomment>
        <translation>No notes of this kind.</translation>
    </message>
    <message id="list.empty.title">
        <source>No notes yet</source>
        <extracomment>Empty state without notes. Arguments: none.</extracomment>
        <translation>No notes yet</translation>
    </message>
    <message id="list.empty.first">
        <source>Write Your First Note</source>
        <extracomment>Empty-state button: create the first note. Arguments: none.</extracomment>
        <translation>Write Your First Note</translation>
    </message>
    <message id="list.purge.title">
        <source>Delete “%1” permanently?</source>
        <extracomment>Purge confirmation title; %1 = note title. Arguments: %1 = title (text).</extracomment>
        <translation>Delete “%1” permanently?</translation>
    </message>
    <message id="editor.back">
        <source>Back</source>
        <extracomment>Back button tooltip (editor, trash). Arguments: none.</extracomment>
        <translation>Back</translation>
    </message>
    <message id="editor.tab.edit">
        <source>Edit</source>
        <extracomment>Editor mode control. Arguments: none.</extracomment>
        <translation>Edit</translation>
    </message>
    <message id="editor.tab.preview">
        <source>Preview</source>
        <extracomment>Editor mode control. Arguments: none.</extracomment>
        <translation>Preview</translation>
    </message>
    <message id="editor.empty">
        <source>Empty note. Click to start writing.</source>
        <extracomment>Preview placeholder for a blank note. Arguments: none.</extracomment>
        <translation>Empty note. Click to start writing.</translation>
    </message>
    <message id="editor.copy">
        <source>Copy Text</source>
        <extracomment>Editor toolbar tooltip: copy the text. Arguments: none.</extracomment>
        <translation>Copy Text</translation>
    </message>
    <message id="editor.share">
        <source>Share</source>
        <extracomment>Editor toolbar tooltip of the share button. Arguments: none.</extracomment>
        <translation>Share</translation>
    </message>
    <message id="editor.more">
        <source>More</source>
        <extracomment>Editor toolbar tooltip of the more menu. Arguments: none.</extracomment>
        <translation>More</translation>
    </message>
    <message id="editor.signedOut.note">
        <source>Sign in to share links and export PDFs.</source>
        <extracomment>More menu information line when signed out. Arguments: none.</extracomment>
        <translation>Sign in to share links and export PDFs.</translation>
    </message>
    <message id="editor.shareLink">
        <source>Copy Public Link</source>
        <extracomment>Menu entry: publish and copy a public link. Arguments: none.</extracomment>
        <translation>Copy Public Link</translation>
    </message>
    <message id="editor.shareLink.hint">
        <source>Publishes a read-only link to this note and copies it</source>
        <extracomment>Tooltip of the public-link entry. Arguments: none.</extracomment>
        <translation>Publishes a read-only link to this note and copies it</translation>
    </message>
    <message id="editor.shareLink.copied">
        <source>Public link copied</source>
        <extracomment>Notice after copying a public link. Arguments: none.</extracomment>
        <translation>Public link copied</translation>
    </message>
    <message id="editor.shareLink.stop">
        <source>Stop Sharing</source>
        <extracomment>Menu entry: revoke the note's public links. Arguments: none.</extracomment>
        <translation>Stop Sharing</translation>
    </message>
    <message id="editor.shareLink.stopped">
        <source>The note is no longer shared</source>
        <extracomment>Notice after revoking the links. Arguments: none.</extracomment>
        <translation>The note is no longer shared</translation>
    </message>
    <message id="editor.addImage">
        <source>Add Image</source>
        <extracomment>Menu entry and open-dialog button: add an image. Arguments: none.</extracomment>
        <translation>Add Image</translation>
    </message>
    <message id="editor.addAudio">
        <source>Record Audio</source>
        <extracomment>Menu entry: record audio into the note. Arguments: none.</extracomment>
        <translation>Record Audio</translation>
    </message>
    <message id="editor.export.text">
        <source>Export as Markdown…</source>
        <extracomment>Menu entry: export as Markdown. Arguments: none.</extracomment>
        <translation>Export as Markdown…</translation>
    </message>
    <message id="editor.export.pdf">
        <source>Export as PDF…</source>
        <extracomment>Menu entry: export as PDF. Arguments: none.</extracomment>
        <translation>Export as PDF…</translation>
    </message>
    <message id="editor.reveal">
        <source>Show in File Manager</source>
        <extracomment>Menu entry: show the note file. Arguments: none.</extracomment>
        <translation>Show in File Manager</translation>
    </message>
    <message id="editor.reveal.failed">
        <source>No file manager could show the note’s file.</source>
        <extracomment>Editor notice when neither a file manager nor the folder could be opened. Arguments: none.</extracomment>
        <translation>No file manager could show the note’s file.</translation>
    </message>
    <message id="editor.delete">
        <source>Delete Note…</source>
        <extracomment>Menu entry: move the note to the trash. Arguments: none.</extracomment>
        <translation>Delete Note…</translation>
    </message>
    <message id="editor.delete.title">
        <source>Move this note to the trash?</source>
        <extracomment>Delete confirmation title. Arguments: none.</extracomment>
        <translation>Move this note to the trash?</translation>
    </message>
    <message id="editor.attachment.missing">
        <source>File not found</source>
        <extracomment>Image block label when the file cannot be loaded. Arguments: none.</extracomment>
        <translation>File not found</translation>
    </message>
    <message id="editor.attachment.reveal">
        <source>Show in File Manager</source>
        <extracomment>Media menu entry. Arguments: none.</extracomment>
        <translation>Show in File Manager</translation>
    </message>
    <message id="editor.attachment.remove.image">
        <source>Remove Image</source>
        <extracomment>Media menu entry and tooltip. Arguments: none.</extracomment>
        <translation>Remove Image</translation>
    </message>
    <message id="editor.attachment.remove.audio">
        <source>Remove Recording</source>
        <extracomment>Media menu entry. Arguments: none.</extracomment>
        <translation>Remove Recording</translation>
    </message>
    <message id="editor.export.image">
        <source>Export Image…</source>
        <extracomment>Media menu entry and tooltip. Arguments: none.</extracomment>
        <translation>Export Image…</translation>
    </message>
    <message id="editor.export.audio">
        <source>Export Recording…</source>
        <extracomment>Media menu entry. Arguments: none.</extracomment>
        <translation>Export Recording…</translation>
    </message>
    <message id="editor.export.prompt">
        <source>Export</source>
        <extracomment>Save dialog button. Arguments: none.</extracomment>
        <translation>Export</translation>
    </message>
    <message id="editor.export.failed">
        <source>The export failed.</source>
        <extracomment>Export error alert message (detail: the error). Arguments: none.</extracomment>
        <translation>The export failed.</translation>
    </message>
    <message id="editor.export.pdf.pandoc">
        <source>pandoc could not create the PDF: %1</source>
        <extracomment>PDF export failure; %1 = end of pandoc's error output. Arguments: %1 = message (text).</extracomment>
        <translation>pandoc could not create the PDF: %1</translation>
    </message>
    <message id="editor.export.pdf.failed">
        <source>The PDF could not be created.</source>
        <extracomment>PDF export failure of the printing path. Arguments: none.</extracomment>
        <translation>The PDF could not be created.</translation>
    </message>
    <message id="account.title">
        <source>Account &amp; Settings</source>
        <extracomment>Account screen title. Arguments: none.</extracomment>
        <translation>Account &amp; Settings</translation>
    </message>
    <message id="account.sync">
        <source>Sync</source>
        <extracomment>Account screen section title. Arguments: none.</extracomment>
        <translation>Sync</translation>
    </message>
    <message id="account.sync.subtitle">
        <source>Sign in to keep your notes in sync across devices.</source>
        <extracomment>Account screen section subtitle (signed out). Arguments: none.</extracomment>
        <translation>Sign in to keep your notes in sync across devices.</translation>
    </message>
    <message id="account.terms">
        <source>I accept the terms of use</source>
        <extracomment>Account screen switch (signed out): accept the server's terms. Arguments: none.</extracomment>
        <translation>I accept the terms of use</translation>
    </message>
    <message id="account.terms.link">
        <source>Read the terms</source>
        <extracomment>Account screen link (signed out) to the server's terms. Arguments: none.</extracomment>
        <translation>Read the terms</translation>
    </message>
    <message id="account.google">
        <source>Sign In with Google</source>
        <extracomment>Account screen button (signed out): sign in with Google. Arguments: none.</extracomment>
        <translation>Sign In with Google</translation>
    </message>
    <message id="account.google.hint">
        <source>Google sign-in opens in your browser.</source>
        <extracomment>Account screen: caption under the sign-in button. Arguments: none.</extracomment>
        <translation>Google sign-in opens in your browser.</translation>
    </message>
    <message id="account.sync.notIncluded">
        <source>Sync is not included in this account. Your notes stay on this computer.</source>
        <extracomment>Account screen: caption when the account has no sync. Arguments: none.</extracomment>
        <translation>Sync is not included in this account. Your notes stay on this computer.</translation>
    </message>
    <message id="account.sync.localOnlyLine">
        <source>Notes are kept on this computer only</source>
        <extracomment>Account screen: status line when the account has no sync. Arguments: none.</extracomment>
        <translation>Notes are kept on this computer only</translation>
    </message>
    <message id="account.pending" numerus="yes">
        <source>%1 notes waiting to upload</source>
        <extracomment>Account screen: status line (orange); %1 = notes not yet accepted by the server. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 note waiting to upload</numerusform>
            <numerusform>%1 notes waiting to upload</numerusform>
        </translation>
    </message>
    <message id="account.allUploaded">
        <source>All notes are uploaded</source>
        <extracomment>Account screen: status line when nothing is pending. Arguments: none.</extracomment>
        <translation>All notes are uploaded</translation>
    </message>
    <message id="account.media.pending" numerus="yes">
        <source>%1 media files could not be transferred</source>
        <extracomment>Account screen: status line; %1 = media transfers that failed in the last pass. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 media file could not be transferred</numerusform>
            <numerusform>%1 media files could not be transferred</numerusform>
        </translation>
    </message>
    <message id="account.server.address">
        <source>Server</source>
        <extracomment>Account screen: label of the server address field. Arguments: none.</extracomment>
        <translation>Server</translation>
    </message>
    <message id="account.server.address.hint">
        <source>Run your own ScrivelBar server? Enter its address here. Empty means the standard server.</source>
        <extracomment>Account screen: caption under the server address field. Arguments: none.</extracomment>
        <translation>Run your own ScrivelBar server? Enter its address here. Empty means the standard server.</translation>
    </message>
    <message id="account.server.apply">
        <source>Use</source>
        <extracomment>Account screen button: check and use the typed server address. Arguments: none.</extracomment>
        <translation>Use</translation>
    </message>
    <message id="account.server.checking">
        <source>Checking the server…</source>
        <extracomment>Account screen: while the typed server address is checked. Arguments: none.</extracomment>
        <translation>Checking the server…</translation>
    </message>
    <message id="account.server.invalid">
        <source>Enter an https:// address (http:// only for this computer).</source>
        <extracomment>Account screen: the typed server address is not one. Arguments: none.</extracomment>
        <translation>Enter an https:// address (http:// only for this computer).</translation>
    </message>
    <message id="account.server.checkFailed">
        <source>No ScrivelBar server answered there: %1</source>
        <extracomment>Account screen: no server answered at the typed address; %1 = error description. Arguments: %1 = error (text).</extracomment>
        <translation>No ScrivelBar server answered there: %1</translation>
    </message>
    <message id="account.server.devOverride">
        <source>The development server %1 is in use (SCRIVEL_DEV_SERVER).</source>
        <extracomment>Account screen: the development override decides the server; %1 = its address. Arguments: %1 = url (text).</extracomment>
        <translation>The development server %1 is in use (SCRIVEL_DEV_SERVER).</translation>
    </message>
    <message id="account.server.change.title">
        <source>Switch to the new server?</source>
        <extracomment>Server change confirmation title (signed in). Arguments: none.</extracomment>
        <translation>Switch to the new server?</translation>
    </message>
    <message id="account.server.change.message">
        <source>You will be signed out of the current server. Your notes stay on this computer and are uploaded when you sign in to the new one.</source>
        <extracomment>Server change confirmation message (signed in). Arguments: none.</extracomment>
        <translation>You will be signed out of the current server. Your notes stay on this computer and are uploaded when you sign in to the new one.</translation>
    </message>
    <message id="account.server.change.action">
        <source>Sign Out and Switch</source>
        <extracomment>Server change confirmation button. Arguments: none.</extracomment>
        <translation>Sign Out and Switch</translation>
    </message>
    <message id="account.server.unreachable">
        <source>Server unreachable: %1</source>
        <extracomment>Account screen: server status line; %1 = error description. Arguments: %1 = error (text).</extracomment>
        <translation>Server unreachable: %1</translation>
    </message>
    <message id="account.server.ok">
        <source>Server %1</source>
        <extracomment>Account screen: server status part; %1 = server version. Arguments: %1 = version (text).</extracomment>
        <translation>Server %1</translation>
    </message>
    <message id="account.server.media.on">
        <source>Media sync on</source>
        <extracomment>Account screen: server status part. Arguments: none.</extracomment>
        <translation>Media sync on</translation>
    </message>
    <message id="account.server.media.off">
        <source>No media sync</source>
        <extracomment>Account screen: server status part. Arguments: none.</extracomment>
        <translation>No media sync</translation>
    </message>
    <message id="account.server.usage">
        <source>%1% of %2 used</source>
        <extracomment>Account screen: server status part; %1 = percent used, %2 = quota as a byte size. Arguments: %1 = percent (number), %2 = quota (text).</extracomment>
        <translation>%1% of %2 used</translation>
    </message>
    <message id="account.server.signup.off">
        <source>Sign-ups closed</source>
        <extracomment>Account screen: server status part. Arguments: none.</extracomment>
        <translation>Sign-ups closed</translation>
    </message>
    <message id="account.autoSync">
        <source>Sync automatically</source>
        <extracomment>Account screen switch (signed in). Arguments: none.</extracomment>
        <translation>Sync automatically</translation>
    </message>
    <message id="account.syncNow">
        <source>Sync Now</source>
        <extracomment>Account screen button (signed in): sync now. Arguments: none.</extracomment>
        <translation>Sync Now</translation>
    </message>
    <message id="account.dashboard">
        <source>Open Web Dashboard</source>
        <extracomment>Account screen button (signed in): open the web dashboard. Arguments: none.</extracomment>
        <translation>Open Web Dashboard</translation>
    </message>
    <message id="account.dashboard.hint">
        <source>Opens your account in the browser, already signed in.</source>
        <extracomment>Account screen: caption of the dashboard button. Arguments: none.</extracomment>
        <translation>Opens your account in the browser, already signed in.</translation>
    </message>
    <message id="account.signOut">
        <source>Sign Out</source>
        <extracomment>Account screen button (signed in) and sign-out confirmation action. Arguments: none.</extracomment>
        <translation>Sign Out</translation>
    </message>
    <message id="account.signOut.title">
        <source>Sign out? Your notes stay on this computer.</source>
        <extracomment>Account screen: sign-out confirmation title. Arguments: none.</extracomment>
        <translation>Sign out? Your notes stay on this computer.</translation>
    </message>
    <message id="account.prefs">
        <source>Preferences</source>
        <extracomment>Account screen section title. Arguments: none.</extracomment>
        <translation>Preferences</translation>
    </message>
    <message id="account.launchAtLogin">
        <source>Launch at login</source>
        <extracomment>Account screen switch (preferences). Arguments: none.</extracomment>
        <translation>Launch at login</translation>
    </message>
    <message id="account.launchAtLogin.failed">
        <source>Launch at login could not be changed: %1</source>
        <extracomment>Account screen problem under the launch-at-login switch; %1 = error description. Arguments: %1 = error (text).</extracomment>
        <translation>Launch at login could not be changed: %1</translation>
    </message>
    <message id="account.launchAtLogin.blocked">
        <source>Launch at login needs your approval in the system settings.</source>
        <extracomment>Account screen problem under the launch-at-login switch: approval needed. Arguments: none.</extracomment>
        <translation>Launch at login needs your approval in the system settings.</translation>
    </message>
    <message id="account.launchAtLogin.outside">
        <source>ScrivelBar is running from outside its installed location, so launch at login may not find it.</source>
        <extracomment>Account screen: caption when the app runs from outside its installed location. Arguments: none.</extracomment>
        <translation>ScrivelBar is running from outside its installed location, so launch at login may not find it.</translation>
    </message>
    <message id="account.launchAtLogin.appImage">
        <source>The AppImage file this copy runs from (mounted at %1) was not found, so it cannot be started at login.</source>
        <extracomment>Launch-at-login failure: the AppImage file of the running copy is gone; %1 = its mount folder. Arguments: %1 = folder (text).</extracomment>
        <translation>The AppImage file this copy runs from (mounted at %1) was not found, so it cannot be started at login.</translation>
    </message>
    <message id="account.launchAtLogin.buildFolder">
        <source>%1 is in a build folder and no installed copy was found; install ScrivelBar to start it at login.</source>
        <extracomment>Launch-at-login failure: the running program is a build folder's and none is installed; %1 = its path. Arguments: %1 = path (text).</extracomment>
        <translation>%1 is in a build folder and no installed copy was found; install ScrivelBar to start it at login.</translation>
    </message>
    <message id="account.hotkey">
        <source>Global shortcut</source>
        <extracomment>Account screen picker label (preferences). Arguments: none.</extracomment>
        <translation>Global shortcut</translation>
    </message>
    <message id="account.hotkey.hint">
        <source>Opens and closes the panel from any application.</source>
        <extracomment>Account screen caption of the hot-key picker. Arguments: none.</extracomment>
        <translation>Opens and closes the panel from any application.</translation>
    </message>
    <message id="account.hotkey.taken">
        <source>%1 is taken by another program, so it does not open the panel. Choose another shortcut, or add a desktop shortcut that runs this command:</source>
        <extracomment>Account screen: the chosen hot key is held by another program. Arguments: %1 = shortcut (text).</extracomment>
        <translation>%1 is taken by another program, so it does not open the panel. Choose another shortcut, or add a desktop shortcut that runs this command:</translation>
    </message>
    <message id="account.hotkey.unsupported">
        <source>This desktop does not let applications set a global shortcut. Add a desktop shortcut that runs this command:</source>
        <extracomment>Account screen: this desktop lets no application set a global shortcut. Arguments: none.</extracomment>
        <translation>This desktop does not let applications set a global shortcut. Add a desktop shortcut that runs this command:</translation>
    </message>
    <message id="account.hotkey.pending">
        <source>Waiting for the desktop to confirm %1…</source>
        <extracomment>Account screen: the desktop has not yet confirmed the hot key. Arguments: %1 = shortcut (text).</extracomment>
        <translation>Waiting for the desktop to confirm %1…</translation>
    </message>
    <message id="account.hotkey.replaced">
        <source>%1 is taken by another program, so ScrivelBar uses %2 instead.</source>
        <extracomment>Account screen: one-time notice after the first start chose another hot key because the default was taken. Arguments: %1 = taken (text), %2 = chosen (text).</extracomment>
        <translation>%1 is taken by another program, so ScrivelBar uses %2 instead.</translation>
    </message>
    <message id="account.hotkey.copy">
        <source>Copy</source>
        <extracomment>Account screen button: copies the desktop-shortcut command to the clipboard. Arguments: none.</extracomment>
        <translation>Copy</translation>
    </message>
    <message id="account.hotkey.where">
        <source>Add it in GNOME under Settings → Keyboard → Custom Shortcuts, in KDE Plasma under System Settings → Shortcuts, in Xfce under Keyboard → Application Shortcuts.</source>
        <extracomment>Account screen: where to add a desktop shortcut on the common desktops. Arguments: none.</extracomment>
        <translation>Add it in GNOME under Settings → Keyboard → Custom Shortcuts, in KDE Plasma under System Settings → Shortcuts, in Xfce under Keyboard → Application Shortcuts.</translation>
    </message>
    <message id="account.icon">
        <source>Tray icon</source>
        <extracomment>Account screen picker label (preferences): tray icon style. Arguments: none.</extracomment>
        <translation>Tray icon</translation>
    </message>
    <message id="account.icon.choice">
        <source>Tray icon: %1</source>
        <extracomment>Account screen: tooltip and accessible name of one tray icon choice (preferences); %1 = what the icon shows (account.icon.list, …). Arguments: %1 = icon (text).</extracomment>
        <translation>Tray icon: %1</translation>
    </message>
    <message id="account.icon.list">
        <source>List</source>
        <extracomment>Account screen: what a tray icon choice shows (a bulleted list). Arguments: none.</extracomment>
        <translation>List</translation>
    </message>
    <message id="account.icon.dotted">
        <source>Underlined text</source>
        <extracomment>Account screen: what a tray icon choice shows (letters with a dotted underline). Arguments: none.</extracomment>
        <translation>Underlined text</translation>
    </message>
    <message id="account.icon.pencil">
        <source>Pencil</source>
        <extracomment>Account screen: what a tray icon choice shows (a pencil). Arguments: none.</extracomment>
        <translation>Pencil</translation>
    </message>
    <message id="account.icon.append">
        <source>Document</source>
        <extracomment>Account screen: what a tray icon choice shows (a page with lines being added). Arguments: none.</extracomment>
        <translation>Document</translation>
    </message>
    <message id="account.icon.stack">
        <source>Stacked cards</source>
        <extracomment>Account screen: what a tray icon choice shows (cards stacked on each other). Arguments: none.</extracomment>
        <translation>Stacked cards</translation>
    </message>
    <message id="account.panelHeight">
        <source>Panel height</source>
        <extracomment>Account screen slider label (preferences). Arguments: none.</extracomment>
        <translation>Panel height</translation>
    </message>
    <message id="account.panelHeight.hint">
        <source>You can also drag the panel's edge to resize it.</source>
        <extracomment>Account screen caption of the panel-height slider. Arguments: none.</extracomment>
        <translation>You can also drag the panel's edge to resize it.</translation>
    </message>
    <message id="account.language">
        <source>Language</source>
        <extracomment>Account screen picker label (preferences). Arguments: none.</extracomment>
        <translation>Language</translation>
    </message>
    <message id="account.language.system">
        <source>Same as system</source>
        <extracomment>Account screen: language picker entry: follow the system. Arguments: none.</extracomment>
        <translation>Same as system</translation>
    </message>
    <message id="account.language.hint">
        <source>Some system dialogs switch to the new language after a restart.</source>
        <extracomment>Account screen caption of the language picker. Arguments: none.</extracomment>
        <translation>Some system dialogs switch to the new language after a restart.</translation>
    </message>
    <message id="account.folder">
        <source>Notes Folder</source>
        <extracomment>Account screen section title. Arguments: none.</extracomment>
        <translation>Notes Folder</translation>
    </message>
    <message id="account.folder.subtitle">
        <source>Your notes are plain Markdown files in this folder.</source>
        <extracomment>Account screen subtitle of the notes-folder section. Arguments: none.</extracomment>
        <translation>Your notes are plain Markdown files in this folder.</translation>
    </message>
    <message id="account.folder.change">
        <source>Change Folder…</source>
        <extracomment>Account screen button: choose another notes folder. Arguments: none.</extracomment>
        <translation>Change Folder…</translation>
    </message>
    <message id="account.folder.reveal">
        <source>Open Folder</source>
        <extracomment>Account screen button: open the notes folder in the file manager. Arguments: none.</extracomment>
        <translation>Open Folder</translation>
    </message>
    <message id="account.folder.reveal.failed">
        <source>Could not open the notes folder</source>
        <extracomment>Account screen: alert title when no file manager or other handler opened the notes folder. Arguments: none.</extracomment>
        <translation>Could not open the notes folder</translation>
    </message>
    <message id="account.folder.reveal.failed.message">
        <source>No file manager or other application opened %1. Open the folder from your file manager, or choose a default application for folders in your desktop settings.</source>
        <extracomment>Account screen: alert message when the notes folder could not be opened; %1 = the folder's path. Arguments: %1 = path (text).</extracomment>
        <translation>No file manager or other application opened %1. Open the folder from your file manager, or choose a default application for folders in your desktop settings.</translation>
    </message>
    <message id="account.folder.panel.message">
        <source>Choose the folder for your notes. The existing note files are moved there.</source>
        <extracomment>Account screen: folder chooser message. Arguments: none.</extracomment>
        <translation>Choose the folder for your notes. The existing note files are moved there.</translation>
    </message>
    <message id="account.folder.panel.prompt">
        <source>Use This Folder</source>
        <extracomment>Account screen: folder chooser button. Arguments: none.</extracomment>
        <translation>Use This Folder</translation>
    </message>
    <message id="account.trash">
        <source>Trash</source>
        <extracomment>Account screen section title. Arguments: none.</extracomment>
        <translation>Trash</translation>
    </message>
    <message id="account.trash.subtitle">
        <source>Deleted notes stay here until you empty the trash.</source>
        <extracomment>Account screen subtitle of the trash section. Arguments: none.</extracomment>
        <translation>Deleted notes stay here until you empty the trash.</translation>
    </message>
    <message id="account.trash.count" numerus="yes">
        <source>%1 notes in the trash</source>
        <extracomment>Account screen: caption; %1 = notes in the trash (at least 1). Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 note in the trash</numerusform>
            <numerusform>%1 notes in the trash</numerusform>
        </translation>
    </message>
    <message id="account.trash.show">
        <source>Show Trash</source>
        <extracomment>Account screen button: open the trash list. Arguments: none.</extracomment>
        <translation>Show Trash</translation>
    </message>
    <message id="account.danger">
        <source>Danger Zone</source>
        <extracomment>Account screen section title. Arguments: none.</extracomment>
        <translation>Danger Zone</translation>
    </message>
    <message id="account.deleteNotes">
        <source>Delete All Notes…</source>
        <extracomment>Account screen button (danger zone): delete all notes. Arguments: none.</extracomment>
        <translation>Delete All Notes…</translation>
    </message>
    <message id="account.deleteNotes.title">
        <source>Delete all notes?</source>
        <extracomment>Delete-all-notes confirmation title. Arguments: none.</extracomment>
        <translation>Delete all notes?</translation>
    </message>
    <message id="account.deleteNotes.message">
        <source>Every note, with its images and recordings, is deleted from this computer and, at the next sync, from the server. This cannot be undone.</source>
        <extracomment>Delete-all-notes confirmation message. Arguments: none.</extracomment>
        <translation>Every note, with its images and recordings, is deleted from this computer and, at the next sync, from the server. This cannot be undone.</translation>
    </message>
    <message id="account.deleteNotes.action">
        <source>Delete All Notes</source>
        <extracomment>Delete-all-notes confirmation button. Arguments: none.</extracomment>
        <translation>Delete All Notes</translation>
    </message>
    <message id="account.deleteAccount">
        <source>Delete Account…</source>
        <extracomment>Account screen button (danger zone, signed in): delete the account. Arguments: none.</extracomment>
        <translation>Delete Account…</translation>
    </message>
    <message id="account.deleteAccount.title">
        <source>Delete your account?</source>
        <extracomment>Delete-account confirmation title. Arguments: none.</extracomment>
        <translation>Delete your account?</translation>
    </message>
    <message id="account.deleteAccount.message">
        <source>Your account and the notes stored on the server are deleted. The notes on this computer stay.</source>
        <extracomment>Delete-account confirmation message. Arguments: none.</extracomment>
        <translation>Your account and the notes stored on the server are deleted. The notes on this computer stay.</translation>
    </message>
    <message id="account.deleteAccount.action">
        <source>Delete Account</source>
        <extracomment>Delete-account confirmation button. Arguments: none.</extracomment>
        <translation>Delete Account</translation>
    </message>
    <message id="account.deleteAccount.signedOut">
        <source>Sign in to delete your account.</source>
        <extracomment>Account screen: caption instead of the delete-account button. Arguments: none.</extracomment>
        <translation>Sign in to delete your account.</translation>
    </message>
    <message id="footer.account.signedIn">
        <source>Account and settings (signed in as %1)</source>
        <extracomment>Footer account button tooltip; %1 = account e-mail. Arguments: %1 = email (text).</extracomment>
        <translation>Account and settings (signed in as %1)</translation>
    </message>
    <message id="footer.account.signedOut">
        <source>Account and settings (not signed in)</source>
        <extracomment>Footer account button tooltip. Arguments: none.</extracomment>
        <translation>Account and settings (not signed in)</translation>
    </message>
    <message id="footer.syncNow">
        <source>Sync Now</source>
        <extracomment>Footer button tooltip. Arguments: none.</extracomment>
        <translation>Sync Now</translation>
    </message>
    <message id="footer.quit.title">
        <source>Quit ScrivelBar?</source>
        <extracomment>Quit confirmation title. Arguments: none.</extracomment>
        <translation>Quit ScrivelBar?</translation>
    </message>
    <message id="footer.quit.action">
        <source>Quit</source>
        <extracomment>Quit confirmation button. Arguments: none.</extracomment>
        <translation>Quit</translation>
    </message>
    <message id="footer.quit.message.pending" numerus="yes">
        <source>%1 notes have changes that are not uploaded yet. They will be uploaded the next time ScrivelBar syncs.</source>
        <extracomment>Quit confirmation message; %1 = notes not uploaded yet. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 note has changes that are not uploaded yet. They will be uploaded the next time ScrivelBar syncs.</numerusform>
            <numerusform>%1 notes have changes that are not uploaded yet. They will be uploaded the next time ScrivelBar syncs.</numerusform>
        </translation>
    </message>
    <message id="footer.quit.message.clean">
        <source>All your notes are saved.</source>
        <extracomment>Quit confirmation message. Arguments: none.</extracomment>
        <translation>All your notes are saved.</translation>
    </message>
    <message id="footer.status.syncing">
        <source>Syncing…</source>
        <extracomment>Footer status line. Arguments: none.</extracomment>
        <translation>Syncing…</translation>
    </message>
    <message id="footer.status.pending" numerus="yes">
        <source>%1 notes not synced yet</source>
        <extracomment>Footer status line; %1 = notes not yet synced. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 note not synced yet</numerusform>
            <numerusform>%1 notes not synced yet</numerusform>
        </translation>
    </message>
    <message id="footer.status.mediaPending" numerus="yes">
        <source>%1 media files not transferred</source>
        <extracomment>Footer status line; %1 = media transfers that failed. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 media file not transferred</numerusform>
            <numerusform>%1 media files not transferred</numerusform>
        </translation>
    </message>
    <message id="footer.status.connected">
        <source>Connected</source>
        <extracomment>Footer status line: signed in, no sync yet. Arguments: none.</extracomment>
        <translation>Connected</translation>
    </message>
    <message id="footer.status.upToDate">
        <source>Synced at %1</source>
        <extracomment>Footer status line; %1 = time of the last sync (short time). Arguments: %1 = time (text).</extracomment>
        <translation>Synced at %1</translation>
    </message>
    <message id="footer.status.localOnly">
        <source>Notes are kept on this computer</source>
        <extracomment>Footer status line: not syncing, no notes. Arguments: none.</extracomment>
        <translation>Notes are kept on this computer</translation>
    </message>
    <message id="footer.status.localOnlyCount" numerus="yes">
        <source>%1 notes on this computer</source>
        <extracomment>Footer status line: not syncing; %1 = live notes. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 note on this computer</numerusform>
            <numerusform>%1 notes on this computer</numerusform>
        </translation>
    </message>
    <message id="share.copyText">
        <source>Copy Text</source>
        <extracomment>Share menu entry: copy the note's text. Arguments: none.</extracomment>
        <translation>Copy Text</translation>
    </message>
    <message id="share.email">
        <source>Send by Email…</source>
        <extracomment>Share menu entry: send by e-mail. Arguments: none.</extracomment>
        <translation>Send by Email…</translation>
    </message>
    <message id="share.email.failed">
        <source>No e-mail program is set up to send this note.</source>
        <extracomment>Notice after the e-mail share entry when no mail program opened. Arguments: none.</extracomment>
        <translation>No e-mail program is set up to send this note.</translation>
    </message>
    <message id="share.showFiles.failed">
        <source>No file manager could show the files.</source>
        <extracomment>Notice after the share menu's show-files entry when no file manager opened. Arguments: none.</extracomment>
        <translation>No file manager could show the files.</translation>
    </message>
    <message id="share.copyFiles">
        <source>Copy Files</source>
        <extracomment>Share menu entry: copy the attached files. Arguments: none.</extracomment>
        <translation>Copy Files</translation>
    </message>
    <message id="share.showFiles">
        <source>Show Files</source>
        <extracomment>Share menu entry: show the attached files. Arguments: none.</extracomment>
        <translation>Show Files</translation>
    </message>
    <message id="dialog.filter.images">
        <source>Images (%1)</source>
        <extracomment>File dialog filter; %1 = file patterns such as “*.png *.jpg”. Arguments: %1 = patterns (text).</extracomment>
        <translation>Images (%1)</translation>
    </message>
    <message id="dialog.filter.audio">
        <source>Audio (%1)</source>
        <extracomment>File dialog filter; %1 = file patterns. Arguments: %1 = patterns (text).</extracomment>
        <translation>Audio (%1)</translation>
    </message>
    <message id="dialog.filter.markdown">
        <source>Markdown (%1)</source>
        <extracomment>File dialog filter; %1 = file patterns. Arguments: %1 = patterns (text).</extracomment>
        <translation>Markdown (%1)</translation>
    </message>
    <message id="dialog.filter.text">
        <source>Plain text (%1)</source>
        <extracomment>File dialog filter; %1 = file patterns. Arguments: %1 = patterns (text).</extracomment>
        <translation>Plain text (%1)</translation>
    </message>
    <message id="dialog.filter.pdf">
        <source>PDF (%1)</source>
        <extracomment>File dialog filter; %1 = file patterns. Arguments: %1 = patterns (text).</extracomment>
        <translation>PDF (%1)</translation>
    </message>
    <message id="date.relative.now">
        <source>now</source>
        <extracomment>Note row: relative time of the last change, under a second ago. Arguments: none.</extracomment>
        <translation>now</translation>
    </message>
    <message id="date.relative.seconds" numerus="yes">
        <source>%1 sec ago</source>
        <extracomment>Note row: relative time of the last change; %1 = seconds. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 sec ago</numerusform>
            <numerusform>%1 sec ago</numerusform>
        </translation>
    </message>
    <message id="date.relative.minutes" numerus="yes">
        <source>%1 min ago</source>
        <extracomment>Note row: relative time of the last change; %1 = minutes. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 min ago</numerusform>
            <numerusform>%1 min ago</numerusform>
        </translation>
    </message>
    <message id="date.relative.hours" numerus="yes">
        <source>%1 hr ago</source>
        <extracomment>Note row: relative time of the last change; %1 = hours. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 hr ago</numerusform>
            <numerusform>%1 hr ago</numerusform>
        </translation>
    </message>
    <message id="date.relative.days" numerus="yes">
        <source>%1 days ago</source>
        <extracomment>Note row: relative time of the last change; %1 = days. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 day ago</numerusform>
            <numerusform>%1 days ago</numerusform>
        </translation>
    </message>
    <message id="date.relative.weeks" numerus="yes">
        <source>%1 wk ago</source>
        <extracomment>Note row: relative time of the last change; %1 = weeks. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 wk ago</numerusform>
            <numerusform>%1 wk ago</numerusform>
        </translation>
    </message>
    <message id="date.relative.months" numerus="yes">
        <source>%1 mo ago</source>
        <extracomment>Note row: relative time of the last change; %1 = months. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 mo ago</numerusform>
            <numerusform>%1 mo ago</numerusform>
        </translation>
    </message>
    <message id="date.relative.years" numerus="yes">
        <source>%1 yr ago</source>
        <extracomment>Note row: relative time of the last change; %1 = years. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 yr ago</numerusform>
            <numerusform>%1 yr ago</numerusform>
        </translation>
    </message>
    <message id="list.search.clear">
        <source>Clear search</source>
        <extracomment>Note list: tooltip and accessible name of the button that clears the search. Arguments: none.</extracomment>
        <translation>Clear search</translation>
    </message>
    <message id="list.notes">
        <source>Notes</source>
        <extracomment>Note list: accessible name of the list of notes. Arguments: none.</extracomment>
        <translation>Notes</translation>
    </message>
    <message id="editor.text">
        <source>Note text</source>
        <extracomment>Editor: accessible name of the text editor (edit mode). Arguments: none.</extracomment>
        <translation>Note text</translation>
    </message>
    <message id="editor.preview.page">
        <source>Note preview</source>
        <extracomment>Editor: accessible name of the rendered note (preview mode). Arguments: none.</extracomment>
        <translation>Note preview</translation>
    </message>
    <message id="editor.preview.heading">
        <source>Heading, level %1</source>
        <extracomment>Preview: accessible description of a heading. Arguments: %1 = level (number).</extracomment>
        <translation>Heading, level %1</translation>
    </message>
    <message id="editor.link.failed">
        <source>No program could open “%1”.</source>
        <extracomment>Editor notice when a link in the preview found no program to open it. Arguments: %1 = address (text).</extracomment>
        <translation>No program could open “%1”.</translation>
    </message>
    <message id="editor.checkbox.checked">
        <source>Done — click to mark as open</source>
        <extracomment>Preview: tooltip and accessible name of a ticked task box. Arguments: none.</extracomment>
        <translation>Done — click to mark as open</translation>
    </message>
    <message id="editor.checkbox.unchecked">
        <source>Open — click to mark as done</source>
        <extracomment>Preview: tooltip and accessible name of an open task box. Arguments: none.</extracomment>
        <translation>Open — click to mark as done</translation>
    </message>
    <message id="editor.export.error.write">
        <source>Could not write “%1”.</source>
        <extracomment>Export error detail: the Markdown file could not be written; %1 = file path. Arguments: %1 = file (text).</extracomment>
        <translation>Could not write “%1”.</translation>
    </message>
    <message id="editor.export.error.copy">
        <source>Could not copy “%1”.</source>
        <extracomment>Export error detail: a media file could not be copied; %1 = file path. Arguments: %1 = file (text).</extracomment>
        <translation>Could not copy “%1”.</translation>
    </message>
    <message id="share.copied.text">
        <source>Text copied</source>
        <extracomment>Notice after the share menu copied the note's text. Arguments: none.</extracomment>
        <translation>Text copied</translation>
    </message>
    <message id="share.copied.files" numerus="yes">
        <source>%1 files copied</source>
        <extracomment>Notice after the share menu copied the attached files; %1 = number of files. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 file copied</numerusform>
            <numerusform>%1 files copied</numerusform>
        </translation>
    </message>
    <message id="keychain.denied">
        <source>Access to the keychain was denied.</source>
        <extracomment>Keychain failure: the user or the system refused access; the keychain's own detail may follow. Arguments: none.</extracomment>
        <translation>Access to the keychain was denied.</translation>
    </message>
    <message id="keychain.failed">
        <source>The keychain could not be used.</source>
        <extracomment>Keychain failure of any other kind; the keychain's own detail may follow. Arguments: none.</extracomment>
        <translation>The keychain could not be used.</translation>
    </message>
    <message id="keychain.noAnswer">
        <source>The keychain did not answer.</source>
        <extracomment>Keychain failure: no answer within the time limit. Arguments: none.</extracomment>
        <translation>The keychain did not answer.</translation>
    </message>
    <message id="keychain.unavailable">
        <source>No keychain is available.</source>
        <extracomment>Keychain failure: the desktop offers no Secret Service; the keychain's own detail may follow. Arguments: none.</extracomment>
        <translation>No keychain is available.</translation>
    </message>
    <message id="ai.error.badEndpoint">
        <source>%1 is not a usable address (it must be https, or http to 127.0.0.1 or localhost). Nothing was sent.</source>
        <extracomment>AI error: an address override in the environment is not usable; %1 = variable name. Arguments: %1 = variable (text).</extracomment>
        <translation>%1 is not a usable address (it must be https, or http to 127.0.0.1 or localhost). Nothing was sent.</translation>
    </message>
    <message id="ai.error.network">
        <source>The AI provider could not be reached: %1</source>
        <extracomment>AI error: the provider could not be reached; %1 = the system's description. Arguments: %1 = message (text).</extracomment>
        <translation>The AI provider could not be reached: %1</translation>
    </message>
    <message id="ai.error.timedOut">
        <source>The AI provider did not answer in time.</source>
        <extracomment>AI error: the provider did not answer in time. Arguments: none.</extracomment>
        <translation>The AI provider did not answer in time.</translation>
    </message>
    <message id="ai.error.answerTooLarge">
        <source>The AI provider's answer was too large.</source>
        <extracomment>AI error: the provider's answer exceeded the size limit. Arguments: none.</extracomment>
        <translation>The AI provider's answer was too large.</translation>
    </message>
    <message id="ai.error.mediaMissing">
        <source>The attached file could not be found.</source>
        <extracomment>AI error: the media file is missing or outside the note's attachments. Arguments: none.</extracomment>
        <translation>The attached file could not be found.</translation>
    </message>
    <message id="ai.local.text.unsupported">
        <source>Text recognition on this device is not available yet.</source>
        <extracomment>Why local text recognition is unavailable: no on-device engine in this build. Arguments: none.</extracomment>
        <translation>Text recognition on this device is not available yet.</translation>
    </message>
    <message id="ai.local.speech.unsupported">
        <source>Speech recognition on this device is not available yet.</source>
        <extracomment>Why local transcription is unavailable: no on-device engine in this build. Arguments: none.</extracomment>
        <translation>Speech recognition on this device is not available yet.</translation>
    </message>
    <message id="ai.consent.terminal">
        <source>Type y to send once, a to send and stop asking, anything else to cancel: </source>
        <extracomment>Command-line consent question: how to answer. Arguments: none.</extracomment>
        <translation>Type y to send once, a to send and stop asking, anything else to cancel: </translation>
    </message>
    <message id="ai.consent.noTerminal">
        <source>Sending to %1 needs your consent: run it in a terminal, or pass --yes.</source>
        <extracomment>Command-line failure: consent is needed but standard input is no terminal; %1 = provider name. Arguments: %1 = provider (text).</extracomment>
        <translation>Sending to %1 needs your consent: run it in a terminal, or pass --yes.</translation>
    </message>
    <message id="ai.consent.declined">
        <source>Nothing was sent.</source>
        <extracomment>Command-line failure: the user did not consent to sending. Arguments: none.</extracomment>
        <translation>Nothing was sent.</translation>
    </message>
    <message id="ai.local.address.invalid">
        <source>“%1” is not a server address (it should look like http://127.0.0.1:8080).</source>
        <extracomment>Local AI settings: the server address cannot be used; %1 = the address as written. Arguments: %1 = address (text).</extracomment>
        <translation>“%1” is not a server address (it should look like http://127.0.0.1:8080).</translation>
    </message>
    <message id="ai.local.address.notLocal">
        <source>“%1” is not on this computer. On-device work only uses servers on this computer (127.0.0.1 or localhost).</source>
        <extracomment>Local AI settings: the address is not on this computer, so nothing is sent there; %1 = the address. Arguments: %1 = address (text).</extracomment>
        <translation>“%1” is not on this computer. On-device work only uses servers on this computer (127.0.0.1 or localhost).</translation>
    </message>
    <message id="ai.error.imageUnreadable">
        <source>The image could not be read.</source>
        <extracomment>AI error: the image file could not be decoded. Arguments: none.</extracomment>
        <translation>The image could not be read.</translation>
    </message>
    <message id="ai.local.text.noLanguages">
        <source>Text recognition on this device has no language data installed (tesseract-ocr-eng).</source>
        <extracomment>AI error: no text recognition language data is installed. Arguments: none.</extracomment>
        <translation>Text recognition on this device has no language data installed (tesseract-ocr-eng).</translation>
    </message>
    <message id="ai.error.audioUnreadable">
        <source>The recording could not be read: %1</source>
        <extracomment>AI error: the recording could not be decoded; %1 = the decoder's description. Arguments: %1 = detail (text).</extracomment>
        <translation>The recording could not be read: %1</translation>
    </message>
    <message id="ai.error.audioStalled">
        <source>Reading the recording stopped and did not finish.</source>
        <extracomment>AI error: decoding the recording stopped making progress. Arguments: none.</extracomment>
        <translation>Reading the recording stopped and did not finish.</translation>
    </message>
    <message id="ai.local.speech.maxDuration">
        <source>%1 minutes of audio</source>
        <extracomment>Size limit of a local transcription, shown inside ai.error.tooLarge; %1 = minutes. Arguments: %1 = minutes (number).</extracomment>
        <translation>%1 minutes of audio</translation>
    </message>
    <message id="ai.local.summary.checking">
        <source>Looking for a local language model server…</source>
        <extracomment>Why local summaries are unavailable: the local model server is still being looked for. Arguments: none.</extracomment>
        <translation>Looking for a local language model server…</translation>
    </message>
    <message id="ai.language.en">
        <source>English</source>
        <extracomment>Name of the English language in the interface language. Arguments: none.</extracomment>
        <translation>English</translation>
    </message>
    <message id="ai.language.es">
        <source>Spanish</source>
        <extracomment>Name of the Spanish language in the interface language. Arguments: none.</extracomment>
        <translation>Spanish</translation>
    </message>
    <message id="ai.language.pt">
        <source>Portuguese</source>
        <extracomment>Name of the Portuguese language in the interface language. Arguments: none.</extracomment>
        <translation>Portuguese</translation>
    </message>
    <message id="ai.local.engine.text">
        <source>Text in images: tesseract (%1)</source>
        <extracomment>AI settings: which engine reads text in images; %1 = language names. Arguments: %1 = languages (text).</extracomment>
        <translation>Text in images: tesseract (%1)</translation>
    </message>
    <message id="ai.local.engine.speechServer">
        <source>Transcriptions: the speech server at %1</source>
        <extracomment>AI settings: transcriptions run on the local speech server; %1 = its address. Arguments: %1 = address (text).</extracomment>
        <translation>Transcriptions: the speech server at %1</translation>
    </message>
    <message id="ai.local.engine.speechClassic">
        <source>Transcriptions: pocketsphinx (US English only; start a speech server such as whisper.cpp for other languages)</source>
        <extracomment>AI settings: transcriptions run on pocketsphinx (no speech server answers). Arguments: none.</extracomment>
        <translation>Transcriptions: pocketsphinx (US English only; start a speech server such as whisper.cpp for other languages)</translation>
    </message>
    <message id="ai.local.engine.summary">
        <source>Summaries: %1 on the model server at %2</source>
        <extracomment>AI settings: summaries run on the local model server; %1 = model, %2 = address. Arguments: %1 = model (text), %2 = address (text).</extracomment>
        <translation>Summaries: %1 on the model server at %2</translation>
    </message>
    <message id="ai.error.recognizerMissing">
        <source>On-device recognition is missing or could not be loaded (%1). Reinstalling ScrivelBar should repair it.</source>
        <extracomment>AI error: the module holding the on-device recognizers (text in images, classic speech) is missing or cannot be loaded; %1 = the paths looked at or the system's reason. Arguments: %1 = detail (text).</extracomment>
        <translation>On-device recognition is missing or could not be loaded (%1). Reinstalling ScrivelBar should repair it.</translation>
    </message>
    <message id="ai.local.engine.textMissing">
        <source>Text in images: unavailable (the on-device recognizer is missing; reinstall ScrivelBar)</source>
        <extracomment>AI settings: text in images cannot be read because the on-device recognizer is missing or cannot be loaded. Arguments: none.</extracomment>
        <translation>Text in images: unavailable (the on-device recognizer is missing; reinstall ScrivelBar)</translation>
    </message>
    <message id="ai.local.engine.speechMissing">
        <source>Transcriptions: only with a speech server such as whisper.cpp (the on-device recognizer is missing; reinstall ScrivelBar)</source>
        <extracomment>AI settings: no speech server answers and the on-device speech recognizer is missing or cannot be loaded. Arguments: none.</extracomment>
        <translation>Transcriptions: only with a speech server such as whisper.cpp (the on-device recognizer is missing; reinstall ScrivelBar)</translation>
    </message>
    <message id="ai.local.speechURL">
        <source>Speech server</source>
        <extracomment>AI settings label of the local speech server address field. Arguments: none.</extracomment>
        <translation>Speech server</translation>
    </message>
    <message id="ai.local.modelURL">
        <source>Model server</source>
        <extracomment>AI settings label of the local model server address field. Arguments: none.</extracomment>
        <translation>Model server</translation>
    </message>
    <message id="ai.local.model">
        <source>Local model</source>
        <extracomment>AI settings label of the local model name field. Arguments: none.</extracomment>
        <translation>Local model</translation>
    </message>
    <message id="ai.local.environment">
        <source>Set by %1 for this session.</source>
        <extracomment>AI settings caption: an environment variable overrides the address for this run; %1 = variable name. Arguments: %1 = variable (text).</extracomment>
        <translation>Set by %1 for this session.</translation>
    </message>
    <message id="recorder.noInput">
        <source>No microphone is connected.</source>
        <extracomment>Recorder failure detail: the system has no audio input. Arguments: none.</extracomment>
        <translation>No microphone is connected.</translation>
    </message>
    <message id="recorder.noEncoder">
        <source>The AAC encoder for recordings is not installed (GStreamer plugins-bad or libav).</source>
        <extracomment>Recorder failure detail: the encoder is missing. Arguments: none.</extracomment>
        <translation>The AAC encoder for recordings is not installed (GStreamer plugins-bad or libav).</translation>
    </message>
    <message id="recorder.deviceFailed">
        <source>The microphone could not be opened.</source>
        <extracomment>Recorder failure detail: the input device refused to open or broke off. Arguments: none.</extracomment>
        <translation>The microphone could not be opened.</translation>
    </message>
    <message id="player.problem">
        <source>This recording cannot be played: %1</source>
        <extracomment>Audio block problem text; %1 = the reason. Arguments: %1 = reason (text).</extracomment>
        <translation>This recording cannot be played: %1</translation>
    </message>
    <message id="editor.export.pdf.launch">
        <source>pandoc could not be started: %1</source>
        <extracomment>PDF export failure: pandoc did not start; %1 = the reason. Arguments: %1 = reason (text).</extracomment>
        <translation>pandoc could not be started: %1</translation>
    </message>
</context>
</TS>
