<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es" sourcelanguage="en">
<context>
    <name></name>
    <message id="footer.quit">
        <source>Quit ScrivelBar</source>
        <extracomment>Main menu item (Ctrl+Q) and footer quit button tooltip. Arguments: none.</extracomment>
        <translation>Salir de ScrivelBar</translation>
    </message>
    <message id="menu.edit">
        <source>Edit</source>
        <extracomment>Main menu: Edit menu title. Arguments: none.</extracomment>
        <translation>Edición</translation>
    </message>
    <message id="menu.undo">
        <source>Undo</source>
        <extracomment>Main menu item. Arguments: none.</extracomment>
        <translation>Deshacer</translation>
    </message>
    <message id="menu.redo">
        <source>Redo</source>
        <extracomment>Main menu item. Arguments: none.</extracomment>
        <translation>Rehacer</translation>
    </message>
    <message id="menu.cut">
        <source>Cut</source>
        <extracomment>Main menu item. Arguments: none.</extracomment>
        <translation>Cortar</translation>
    </message>
    <message id="menu.copy">
        <source>Copy</source>
        <extracomment>Main menu item. Arguments: none.</extracomment>
        <translation>Copiar</translation>
    </message>
    <message id="menu.paste">
        <source>Paste</source>
        <extracomment>Main menu item. Arguments: none.</extracomment>
        <translation>Pegar</translation>
    </message>
    <message id="menu.selectAll">
        <source>Select All</source>
        <extracomment>Main menu item. Arguments: none.</extracomment>
        <translation>Seleccionar todo</translation>
    </message>
    <message id="common.ok">
        <source>OK</source>
        <extracomment>Button that dismisses a banner, problem or message. Arguments: none.</extracomment>
        <translation>Aceptar</translation>
    </message>
    <message id="common.cancel">
        <source>Cancel</source>
        <extracomment>Cancel button of dialogs and forms. Arguments: none.</extracomment>
        <translation>Cancelar</translation>
    </message>
    <message id="common.delete">
        <source>Delete</source>
        <extracomment>Destructive button / context-menu entry: moves a note to the trash. Arguments: none.</extracomment>
        <translation>Eliminar</translation>
    </message>
    <message id="hotkey.off">
        <source>None</source>
        <extracomment>Hot-key picker entry: no global shortcut. Arguments: none.</extracomment>
        <translation>Ninguno</translation>
    </message>
    <message id="hotkey.optionSpace">
        <source>Alt+Space</source>
        <extracomment>Hot-key picker entry. Arguments: none.</extracomment>
        <translation>Alt+Espacio</translation>
    </message>
    <message id="hotkey.controlSpace">
        <source>Ctrl+Space</source>
        <extracomment>Hot-key picker entry. Arguments: none.</extracomment>
        <translation>Ctrl+Espacio</translation>
    </message>
    <message id="hotkey.commandShiftSpace">
        <source>Ctrl+Shift+Space</source>
        <extracomment>Hot-key picker entry. Arguments: none.</extracomment>
        <translation>Ctrl+Mayús+Espacio</translation>
    </message>
    <message id="hotkey.controlOptionN">
        <source>Ctrl+Alt+N</source>
        <extracomment>Hot-key picker entry. Arguments: none.</extracomment>
        <translation>Ctrl+Alt+N</translation>
    </message>
    <message id="note.untitled">
        <source>Untitled</source>
        <extracomment>Title of a note without text or media; also compared with the derived title before upload. Arguments: none.</extracomment>
        <translation>Sin título</translation>
    </message>
    <message id="note.image.dated">
        <source>Image %1</source>
        <extracomment>Title of a note holding only an unlabelled image; %1 = creation time stamp. Arguments: %1 = stamp (text).</extracomment>
        <translation>Imagen %1</translation>
    </message>
    <message id="note.audio.dated">
        <source>Recording %1</source>
        <extracomment>Title of a note holding only a recording; %1 = creation time stamp. Arguments: %1 = stamp (text).</extracomment>
        <translation>Grabación %1</translation>
    </message>
    <message id="note.image">
        <source>Image</source>
        <extracomment>Word for an image, used in the suggested file name when exporting one. Arguments: none.</extracomment>
        <translation>Imagen</translation>
    </message>
    <message id="note.audio">
        <source>Recording</source>
        <extracomment>Word for a recording, used in the suggested file name when exporting one. Arguments: none.</extracomment>
        <translation>Grabación</translation>
    </message>
    <message id="store.error.save">
        <source>The note “%1” could not be saved: %2</source>
        <extracomment>Store error (lastError): a note file could not be written. Arguments: %1 = title (text), %2 = error (text).</extracomment>
        <translation>No se pudo guardar la nota «%1»: %2</translation>
    </message>
    <message id="store.error.index">
        <source>The notes index could not be saved: %1</source>
        <extracomment>Store error (lastError): the index file could not be written. Arguments: %1 = error (text).</extracomment>
        <translation>No se pudo guardar el índice de notas: %1</translation>
    </message>
    <message id="store.error.folder">
        <source>The notes folder is not available: %1</source>
        <extracomment>Store error (lastError): the notes folder could not be created, or it is missing or looks like an unmounted drive (no note is trashed then). Arguments: %1 = path (text).</extracomment>
        <translation>La carpeta de notas no está disponible: %1</translation>
    </message>
    <message id="store.error.attachment">
        <source>The attachment could not be saved: %1</source>
        <extracomment>Store error (lastError): an image or recording could not be imported or saved. Arguments: %1 = error (text).</extracomment>
        <translation>No se pudo guardar el archivo adjunto: %1</translation>
    </message>
    <message id="store.warning.massDeletion">
        <source>%1 of your %2 note files disappeared from the notes folder at once, so none of them was moved to the trash. Check the folder: a disconnected drive or a sync tool may be the cause.</source>
        <extracomment>Store warning (massDeletionWarning); %1 = files missing (always more than 5), %2 = live notes. Arguments: %1 = m (number), %2 = n (number).</extracomment>
        <translation>%1 de tus %2 archivos de notas desaparecieron a la vez de la carpeta de notas, así que no se ha movido ninguno a la papelera. Revisa la carpeta: puede deberse a un disco desconectado o a una herramienta de sincronización.</translation>
    </message>
    <message id="store.conflictCopy">
        <source>Conflict copy: this version was edited on this device (%1) while another one arrived from the server.</source>
        <extracomment>Caption appended (after a rule) to a conflict copy's body; %1 = time of the local edit. Arguments: %1 = time (text).</extracomment>
        <translation>Copia en conflicto: esta versión se editó en este dispositivo (%1) mientras llegaba otra del servidor.</translation>
    </message>
    <message id="store.error.indexRestored">
        <source>The notes index was damaged, so it was restored from its last good copy. The damaged file was kept as %1.</source>
        <extracomment>Store error (lastError): the index file could not be read and its backup was used. Arguments: %1 = path of the kept damaged file (text).</extracomment>
        <translation>El índice de notas estaba dañado, así que se restauró desde su última copia buena. El archivo dañado se guardó como %1.</translation>
    </message>
    <message id="store.error.indexRebuilt">
        <source>The notes index was damaged and no good copy was found, so it was rebuilt from the note files; trash and sync state start afresh. The damaged file was kept as %1.</source>
        <extracomment>Store error (lastError): the index file and its backup could not be read; the index was rebuilt from the notes folder. Arguments: %1 = path of the kept damaged file (text).</extracomment>
        <translation>El índice de notas estaba dañado y no había ninguna copia buena, así que se reconstruyó a partir de los archivos de notas; la papelera y el estado de sincronización empiezan de cero. El archivo dañado se guardó como %1.</translation>
    </message>
    <message id="store.error.indexRepaired">
        <source>The notes index held %1 damaged or repeated records; they were left out and the notes' files were read again.</source>
        <extracomment>Store error (lastError): some records of the index file were damaged or duplicated and were skipped. Arguments: %1 = number of records (number).</extracomment>
        <translation>El índice de notas tenía %1 registros dañados o repetidos; se omitieron y se volvieron a leer los archivos de las notas.</translation>
    </message>
    <message id="store.error.fileKept">
        <source>The file “%1” is not UTF-8 text, so ScrivelBar did not overwrite it: it was moved unchanged to %2.</source>
        <extracomment>Store error (lastError): a note file that could not be decoded (or a link) was set aside before the note was written. Arguments: %1 = file name (text), %2 = path it was moved to (text).</extracomment>
        <translation>El archivo «%1» no es texto UTF-8, así que ScrivelBar no lo sobrescribió: se movió sin cambios a %2.</translation>
    </message>
    <message id="store.conflictCopy.outside">
        <source>Conflict copy: this version was written into the notes folder by another program (%1) while ScrivelBar had a different one.</source>
        <extracomment>Caption appended (after a rule) to a conflict copy made from a file changed by another program; %1 = time of that file. Arguments: %1 = time (text).</extracomment>
        <translation>Copia en conflicto: otro programa escribió esta versión en la carpeta de notas (%1) mientras ScrivelBar tenía otra distinta.</translation>
    </message>
    <message id="store.warning.unreadableFiles">
        <source>%1 files in the notes folder could not be read as notes and were left untouched: %2</source>
        <extracomment>Store warning: files that are not readable UTF-8 text or are symbolic links. Arguments: %1 = count (number), %2 = file names (text).</extracomment>
        <translation>%1 archivos de la carpeta de notas no se pudieron leer como notas y se dejaron intactos: %2</translation>
    </message>
    <message id="store.undo.editNote">
        <source>Edit Note</source>
        <extracomment>Name of the undo step of a body edit (QUndoCommand text). Arguments: none.</extracomment>
        <translation>Editar nota</translation>
    </message>
    <message id="error.transport">
        <source>The server could not be reached: %1</source>
        <extracomment>Error description: the request did not complete; %1 = the network library's description. Arguments: %1 = message (text).</extracomment>
        <translation>No se pudo conectar con el servidor: %1</translation>
    </message>
    <message id="error.noBrowser">
        <source>No web browser could be opened.</source>
        <extracomment>Sign-in failure: no program could open the sign-in page. Arguments: none.</extracomment>
        <translation>No se pudo abrir ningún navegador web.</translation>
    </message>
    <message id="error.noServer">
        <source>No server address is configured.</source>
        <extracomment>Error description: no server address configured. Arguments: none.</extracomment>
        <translation>No hay ninguna dirección de servidor configurada.</translation>
    </message>
    <message id="error.unauthorized">
        <source>You are not signed in, or your session has expired. Please sign in again.</source>
        <extracomment>Error description: no or rejected session token. Arguments: none.</extracomment>
        <translation>No has iniciado sesión o tu sesión ha caducado. Vuelve a iniciar sesión.</translation>
    </message>
    <message id="error.syncNotIncluded">
        <source>Sync is not included in your account.</source>
        <extracomment>Error description: HTTP 402. Arguments: none.</extracomment>
        <translation>La sincronización no está incluida en tu cuenta.</translation>
    </message>
    <message id="error.tooManyRequests">
        <source>Too many requests. Please try again in a moment.</source>
        <extracomment>Error description: HTTP 429. Arguments: none.</extracomment>
        <translation>Demasiadas solicitudes. Vuelve a intentarlo dentro de un momento.</translation>
    </message>
    <message id="error.notesFull">
        <source>Your account's storage for notes is full.</source>
        <extracomment>Error description: HTTP 507, note storage full. Arguments: none.</extracomment>
        <translation>El almacenamiento de notas de tu cuenta está lleno.</translation>
    </message>
    <message id="error.mediaFull">
        <source>Your account's storage for images and recordings is full.</source>
        <extracomment>Error description: HTTP 507, media storage full. Arguments: none.</extracomment>
        <translation>El almacenamiento de imágenes y grabaciones de tu cuenta está lleno.</translation>
    </message>
    <message id="error.server">
        <source>The server reported an error (HTTP %1).</source>
        <extracomment>Error description: other HTTP status without a message; %1 = status code. Arguments: %1 = status (number).</extracomment>
        <translation>El servidor devolvió un error (HTTP %1).</translation>
    </message>
    <message id="error.invalidResponse">
        <source>The server sent an invalid response.</source>
        <extracomment>Error description: the answer was not valid HTTP or held no valid address. Arguments: none.</extracomment>
        <translation>El servidor envió una respuesta no válida.</translation>
    </message>
    <message id="account.google.failed">
        <source>Google sign-in failed: %1</source>
        <extracomment>Sign-in failure: listener error or error returned by Google. Arguments: %1 = message (text).</extracomment>
        <translation>Falló el inicio de sesión con Google: %1</translation>
    </message>
    <message id="account.google.cancelled">
        <source>Google sign-in was cancelled or took too long.</source>
        <extracomment>Sign-in failure: timed out or the redirect was incomplete. Arguments: none.</extracomment>
        <translation>Se canceló el inicio de sesión con Google o tardó demasiado.</translation>
    </message>
    <message id="account.google.unavailable">
        <source>Google sign-in is not available on this server right now.</source>
        <extracomment>Sign-in failure: server health unknown or no Google client id. Arguments: none.</extracomment>
        <translation>El inicio de sesión con Google no está disponible en este servidor ahora mismo.</translation>
    </message>
    <message id="account.google.page.done">
        <source>You're signed in. You can close this tab and return to ScrivelBar.</source>
        <extracomment>Browser page after a successful sign-in redirect. Arguments: none.</extracomment>
        <translation>Has iniciado sesión. Puedes cerrar esta pestaña y volver a ScrivelBar.</translation>
    </message>
    <message id="account.google.page.denied">
        <source>Sign-in was not completed. You can close this tab and return to ScrivelBar.</source>
        <extracomment>Browser page after a refused sign-in. Arguments: none.</extracomment>
        <translation>No se completó el inicio de sesión. Puedes cerrar esta pestaña y volver a ScrivelBar.</translation>
    </message>
    <message id="ai.connect.timedOut">
        <source>The browser did not answer in time.</source>
        <extracomment>Loopback listener failure: no browser redirect in time. Arguments: none.</extracomment>
        <translation>El navegador no respondió a tiempo.</translation>
    </message>
    <message id="editor.shareLink.signedOut">
        <source>Sign in to share notes by link.</source>
        <extracomment>Share-link error: no account signed in. Arguments: none.</extracomment>
        <translation>Inicia sesión para compartir notas mediante un enlace.</translation>
    </message>
    <message id="ai.provider.none">
        <source>None</source>
        <extracomment>AI provider picker entry: no provider. Arguments: none.</extracomment>
        <translation>Ninguno</translation>
    </message>
    <message id="ai.source.local">
        <source>On this device</source>
        <extracomment>Origin of an on-device AI result; also the argument of the running line. Arguments: none.</extracomment>
        <translation>En este dispositivo</translation>
    </message>
    <message id="ai.error.noKey">
        <source>No API key for %1 is saved. Add one in the AI settings.</source>
        <extracomment>AI error: no API key stored; %1 = provider name. Arguments: %1 = provider (text).</extracomment>
        <translation>No hay ninguna clave de API de %1 guardada. Añade una en los ajustes de IA.</translation>
    </message>
    <message id="ai.error.http">
        <source>The AI provider answered with error %1: %2</source>
        <extracomment>AI error: provider answered with an HTTP error; %1 = status, %2 = provider's message (may be empty). Arguments: %1 = status (number), %2 = message (text).</extracomment>
        <translation>El proveedor de IA respondió con el error %1: %2</translation>
    </message>
    <message id="ai.error.tooLarge">
        <source>The file is too large to send (limit: %1).</source>
        <extracomment>AI error: file too large to upload; %1 = limit text such as “25 MB”. Arguments: %1 = limit (text).</extracomment>
        <translation>El archivo es demasiado grande para enviarlo (límite: %1).</translation>
    </message>
    <message id="ai.error.refused">
        <source>The AI model declined to answer.</source>
        <extracomment>AI error: the model refused. Arguments: none.</extracomment>
        <translation>El modelo de IA se negó a responder.</translation>
    </message>
    <message id="ai.error.empty">
        <source>The AI returned no text.</source>
        <extracomment>AI error: empty answer or the note is gone. Arguments: none.</extracomment>
        <translation>La IA no devolvió ningún texto.</translation>
    </message>
    <message id="ai.error.noTranscription">
        <source>Recordings cannot be transcribed through the provider “%1”: in the cloud only OpenAI transcribes. Choose OpenAI or transcribe on this device.</source>
        <extracomment>AI error: chosen provider cannot transcribe; %1 = provider name (empty for none). Arguments: %1 = provider (text).</extracomment>
        <translation>Las grabaciones no se pueden transcribir con el proveedor «%1»: en la nube solo OpenAI transcribe. Elige OpenAI o transcribe en este dispositivo.</translation>
    </message>
    <message id="ai.error.nothingToSummarize">
        <source>This note has no text to summarize.</source>
        <extracomment>AI error: the note has no text lines. Arguments: none.</extracomment>
        <translation>Esta nota no tiene texto que resumir.</translation>
    </message>
    <message id="ai.error.noProvider">
        <source>Choose an AI provider in the settings first.</source>
        <extracomment>AI error: provider engine chosen but no provider. Arguments: none.</extracomment>
        <translation>Primero elige un proveedor de IA en los ajustes.</translation>
    </message>
    <message id="ai.error.noText">
        <source>No text was found in the image.</source>
        <extracomment>AI error: no text recognised in the image. Arguments: none.</extracomment>
        <translation>No se encontró texto en la imagen.</translation>
    </message>
    <message id="ai.error.speechDenied">
        <source>Speech recognition is not allowed. Allow it in the system settings.</source>
        <extracomment>AI error: speech recognition not permitted. Arguments: none.</extracomment>
        <translation>El reconocimiento de voz no está permitido. Permítelo en la configuración del sistema.</translation>
    </message>
    <message id="ai.error.speechLanguage">
        <source>On-device speech recognition is not available for %1.</source>
        <extracomment>AI error: no on-device speech model for the language; %1 = language name in the interface language. Arguments: %1 = language (text).</extracomment>
        <translation>El reconocimiento de voz en el dispositivo no está disponible para %1.</translation>
    </message>
    <message id="ai.error.noSpeech">
        <source>No speech was recognized in the recording.</source>
        <extracomment>AI error: nothing recognised in the recording. Arguments: none.</extracomment>
        <translation>No se reconoció ninguna voz en la grabación.</translation>
    </message>
    <message id="ai.error.tooLongForLocal">
        <source>This note is too long to summarize on this device. Try a cloud provider.</source>
        <extracomment>AI error: note exceeds the local model's context. Arguments: none.</extracomment>
        <translation>Esta nota es demasiado larga para resumirla en este dispositivo. Prueba con un proveedor en la nube.</translation>
    </message>
    <message id="ai.local.summary.unsupported">
        <source>Summaries on this device are not supported on this system.</source>
        <extracomment>Why local summaries are unavailable: not supported here. Arguments: none.</extracomment>
        <translation>Los resúmenes en este dispositivo no son compatibles con este sistema.</translation>
    </message>
    <message id="ai.local.summary.off">
        <source>Summaries on this device need a local language model server (such as Ollama), and none is running.</source>
        <extracomment>Why local summaries are unavailable: no local model server running. Arguments: none.</extracomment>
        <translation>Los resúmenes en este dispositivo necesitan un servidor local de modelos de lenguaje (como Ollama) y no hay ninguno en marcha.</translation>
    </message>
    <message id="ai.local.summary.notReady">
        <source>The local language model is not ready yet: no model is installed or it is still loading.</source>
        <extracomment>Why local summaries are unavailable: server up but no model ready. Arguments: none.</extracomment>
        <translation>El modelo de lenguaje local aún no está listo: no hay ningún modelo instalado o todavía se está cargando.</translation>
    </message>
    <message id="ai.summary.heading">
        <source>Summary</source>
        <extracomment>Heading of a summary appended to a note (after “## ”). Arguments: none.</extracomment>
        <translation>Resumen</translation>
    </message>
    <message id="ai.summary.of">
        <source>Summary of %1</source>
        <extracomment>Heading of a summary saved as a new note; %1 = source note's title. Arguments: %1 = title (text).</extracomment>
        <translation>Resumen de %1</translation>
    </message>
    <message id="ai.connect.cancelled">
        <source>Connecting to OpenRouter was cancelled.</source>
        <extracomment>OpenRouter connect failure: redirect without a code. Arguments: none.</extracomment>
        <translation>Se canceló la conexión con OpenRouter.</translation>
    </message>
    <message id="ai.connect.page.done">
        <source>ScrivelBar is connected to OpenRouter. You can close this tab.</source>
        <extracomment>Browser page after a successful OpenRouter connect. Arguments: none.</extracomment>
        <translation>ScrivelBar está conectado a OpenRouter. Puedes cerrar esta pestaña.</translation>
    </message>
    <message id="ai.connect.page.denied">
        <source>OpenRouter was not connected. You can close this tab and try again in ScrivelBar.</source>
        <extracomment>Browser page after a refused OpenRouter connect. Arguments: none.</extracomment>
        <translation>No se conectó OpenRouter. Puedes cerrar esta pestaña y volver a intentarlo en ScrivelBar.</translation>
    </message>
    <message id="ai.running.text">
        <source>Extracting text… (%1)</source>
        <extracomment>AI result panel running line (extract text); %1 = provider name or “On this device”. Arguments: %1 = source (text).</extracomment>
        <translation>Extrayendo texto… (%1)</translation>
    </message>
    <message id="ai.running.transcript">
        <source>Transcribing… (%1)</source>
        <extracomment>AI result panel running line (transcribe); %1 = provider name or “On this device”. Arguments: %1 = source (text).</extracomment>
        <translation>Transcribiendo… (%1)</translation>
    </message>
    <message id="ai.running.summary">
        <source>Summarizing… (%1)</source>
        <extracomment>AI result panel running line (summarize); %1 = provider name or “On this device”. Arguments: %1 = source (text).</extracomment>
        <translation>Resumiendo… (%1)</translation>
    </message>
    <message id="ai.result.text">
        <source>Text from Image</source>
        <extracomment>AI result title (extracted text), followed by “ · source”. Arguments: none.</extracomment>
        <translation>Texto de la imagen</translation>
    </message>
    <message id="ai.result.transcript">
        <source>Transcript</source>
        <extracomment>AI result title (transcript), followed by “ · source”. Arguments: none.</extracomment>
        <translation>Transcripción</translation>
    </message>
    <message id="ai.result.summary">
        <source>Summary</source>
        <extracomment>AI result title (summary), followed by “ · source”. Arguments: none.</extracomment>
        <translation>Resumen</translation>
    </message>
    <message id="ai.result.discard">
        <source>Discard</source>
        <extracomment>Tooltip of the button that discards an AI result. Arguments: none.</extracomment>
        <translation>Descartar</translation>
    </message>
    <message id="ai.result.newNote">
        <source>Save as New Note</source>
        <extracomment>AI result button. Arguments: none.</extracomment>
        <translation>Guardar como nota nueva</translation>
    </message>
    <message id="ai.result.append">
        <source>Add to Note</source>
        <extracomment>AI result button (summary). Arguments: none.</extracomment>
        <translation>Añadir a la nota</translation>
    </message>
    <message id="ai.result.insert">
        <source>Insert into Note</source>
        <extracomment>AI result button (extracted text, transcript). Arguments: none.</extracomment>
        <translation>Insertar en la nota</translation>
    </message>
    <message id="ai.result.copy">
        <source>Copy</source>
        <extracomment>AI result button. Arguments: none.</extracomment>
        <translation>Copiar</translation>
    </message>
    <message id="ai.title">
        <source>AI Assistant</source>
        <extracomment>AI settings section title. Arguments: none.</extracomment>
        <translation>Asistente de IA</translation>
    </message>
    <message id="ai.subtitle">
        <source>Summaries, text from images and transcripts of recordings.</source>
        <extracomment>AI settings section subtitle. Arguments: none.</extracomment>
        <translation>Resúmenes, texto de imágenes y transcripciones de grabaciones.</translation>
    </message>
    <message id="ai.summaries">
        <source>Summaries</source>
        <extracomment>AI settings picker label (summary engine). Arguments: none.</extracomment>
        <translation>Resúmenes</translation>
    </message>
    <message id="ai.engine.local.summary">
        <source>Local language model</source>
        <extracomment>Summary engine picker entry: local language model. Arguments: none.</extracomment>
        <translation>Modelo de lenguaje local</translation>
    </message>
    <message id="ai.engine.local">
        <source>On this device</source>
        <extracomment>Transcription engine picker entry: on this device. Arguments: none.</extracomment>
        <translation>En este dispositivo</translation>
    </message>
    <message id="ai.engine.provider">
        <source>Cloud provider</source>
        <extracomment>Engine picker entry: the chosen cloud provider. Arguments: none.</extracomment>
        <translation>Proveedor en la nube</translation>
    </message>
    <message id="ai.transcription">
        <source>Transcription</source>
        <extracomment>AI settings picker label (transcription engine). Arguments: none.</extracomment>
        <translation>Transcripción</translation>
    </message>
    <message id="ai.transcription.openaiOnly">
        <source>Only OpenAI can transcribe recordings in the cloud.</source>
        <extracomment>AI settings caption (orange) when the provider cannot transcribe. Arguments: none.</extracomment>
        <translation>Solo OpenAI puede transcribir grabaciones en la nube.</translation>
    </message>
    <message id="ai.speechLanguage">
        <source>Speech language</source>
        <extracomment>AI settings picker label (speech language). Arguments: none.</extracomment>
        <translation>Idioma de voz</translation>
    </message>
    <message id="ai.speechLanguage.interface">
        <source>Same as interface</source>
        <extracomment>Speech language picker entry: follow the interface language. Arguments: none.</extracomment>
        <translation>Igual que la interfaz</translation>
    </message>
    <message id="ai.local.hint">
        <source>Work done on this device never leaves this computer. Text in images is always recognized on this device.</source>
        <extracomment>AI settings caption. Arguments: none.</extracomment>
        <translation>Lo que se hace en este dispositivo nunca sale de este ordenador. El texto de las imágenes siempre se reconoce en este dispositivo.</translation>
    </message>
    <message id="ai.provider">
        <source>Provider</source>
        <extracomment>AI settings picker label (cloud provider). Arguments: none.</extracomment>
        <translation>Proveedor</translation>
    </message>
    <message id="ai.provider.hint">
        <source>Notes you summarize and recordings you transcribe are sent to %1 with your own key.</source>
        <extracomment>AI settings caption; %1 = provider name. Arguments: %1 = provider (text).</extracomment>
        <translation>Las notas que resumas y las grabaciones que transcribas se envían a %1 con tu propia clave.</translation>
    </message>
    <message id="ai.key.saved">
        <source>Key saved</source>
        <extracomment>AI settings: a key is stored for the provider. Arguments: none.</extracomment>
        <translation>Clave guardada</translation>
    </message>
    <message id="ai.key.remove">
        <source>Remove Key</source>
        <extracomment>AI settings button: delete the stored key. Arguments: none.</extracomment>
        <translation>Eliminar clave</translation>
    </message>
    <message id="ai.key.placeholder">
        <source>Paste your API key</source>
        <extracomment>AI settings: placeholder of the key field. Arguments: none.</extracomment>
        <translation>Pega tu clave de API</translation>
    </message>
    <message id="ai.key.save">
        <source>Save Key</source>
        <extracomment>AI settings button: store the typed key. Arguments: none.</extracomment>
        <translation>Guardar clave</translation>
    </message>
    <message id="ai.key.get">
        <source>Get a key</source>
        <extracomment>AI settings link to the provider's key page. Arguments: none.</extracomment>
        <translation>Obtener una clave</translation>
    </message>
    <message id="ai.connect.openrouter">
        <source>Connect with OpenRouter</source>
        <extracomment>AI settings button: OpenRouter browser connect. Arguments: none.</extracomment>
        <translation>Conectar con OpenRouter</translation>
    </message>
    <message id="ai.connect.hint">
        <source>Signs in through your browser and saves a key for you.</source>
        <extracomment>AI settings caption next to the connect button. Arguments: none.</extracomment>
        <translation>Inicia sesión en el navegador y guarda una clave por ti.</translation>
    </message>
    <message id="ai.model">
        <source>Model</source>
        <extracomment>AI settings label of the model field. Arguments: none.</extracomment>
        <translation>Modelo</translation>
    </message>
    <message id="ai.askBeforeSending">
        <source>Ask before sending a note</source>
        <extracomment>AI settings switch. Arguments: none.</extracomment>
        <translation>Preguntar antes de enviar una nota</translation>
    </message>
    <message id="ai.summarize">
        <source>Summarize</source>
        <extracomment>Editor toolbar tooltip: summarize the note. Arguments: none.</extracomment>
        <translation>Resumir</translation>
    </message>
    <message id="ai.extractText">
        <source>Extract Text</source>
        <extracomment>Menu entry / tooltip: recognise the text in an image. Arguments: none.</extracomment>
        <translation>Extraer texto</translation>
    </message>
    <message id="ai.transcribe">
        <source>Transcribe</source>
        <extracomment>Menu entry / tooltip: transcribe a recording. Arguments: none.</extracomment>
        <translation>Transcribir</translation>
    </message>
    <message id="ai.consent.title">
        <source>Send to %1?</source>
        <extracomment>Consent dialog title; %1 = provider name. Arguments: %1 = provider (text).</extracomment>
        <translation>¿Enviar a %1?</translation>
    </message>
    <message id="ai.consent.message.text">
        <source>The text of this note will be sent to %1 to write a summary.</source>
        <extracomment>Consent dialog message (summary); %1 = provider name. Arguments: %1 = provider (text).</extracomment>
        <translation>El texto de esta nota se enviará a %1 para hacer un resumen.</translation>
    </message>
    <message id="ai.consent.message.audio">
        <source>The attached file will be sent to %1 to turn it into text.</source>
        <extracomment>Consent dialog message (recording or image); %1 = provider name. Arguments: %1 = provider (text).</extracomment>
        <translation>El archivo adjunto se enviará a %1 para convertirlo en texto.</translation>
    </message>
    <message id="ai.consent.send">
        <source>Send to %1</source>
        <extracomment>Consent dialog button: send once; %1 = provider name. Arguments: %1 = provider (text).</extracomment>
        <translation>Enviar a %1</translation>
    </message>
    <message id="ai.consent.always">
        <source>Always Send</source>
        <extracomment>Consent dialog button: send and stop asking. Arguments: none.</extracomment>
        <translation>Enviar siempre</translation>
    </message>
    <message id="recorder.failed">
        <source>Recording failed: %1</source>
        <extracomment>Recorder failure message; %1 = error description. Arguments: %1 = error (text).</extracomment>
        <translation>No se pudo grabar: %1</translation>
    </message>
    <message id="recorder.requesting">
        <source>Waiting for the microphone…</source>
        <extracomment>Recording screen caption while waiting for the microphone. Arguments: none.</extracomment>
        <translation>Esperando al micrófono…</translation>
    </message>
    <message id="recorder.permission.title">
        <source>Microphone access is off</source>
        <extracomment>Recording screen title: microphone access refused. Arguments: none.</extracomment>
        <translation>El acceso al micrófono está desactivado</translation>
    </message>
    <message id="recorder.permission.body">
        <source>Allow ScrivelBar to use the microphone in the system settings, then try again.</source>
        <extracomment>Recording screen explanation: microphone access refused. Arguments: none.</extracomment>
        <translation>Permite que ScrivelBar use el micrófono en la configuración del sistema y vuelve a intentarlo.</translation>
    </message>
    <message id="recorder.permission.open">
        <source>Open Settings</source>
        <extracomment>Recording screen button: open the system's microphone settings. Arguments: none.</extracomment>
        <translation>Abrir configuración</translation>
    </message>
    <message id="recorder.recording">
        <source>Recording</source>
        <extracomment>Recording screen label next to the red dot. Arguments: none.</extracomment>
        <translation>Grabando</translation>
    </message>
    <message id="recorder.stop">
        <source>Stop</source>
        <extracomment>Recording screen button: stop and keep the recording. Arguments: none.</extracomment>
        <translation>Detener</translation>
    </message>
    <message id="recorder.cancel">
        <source>Cancel</source>
        <extracomment>Recording screen button: discard the recording. Arguments: none.</extracomment>
        <translation>Cancelar</translation>
    </message>
    <message id="player.play">
        <source>Play</source>
        <extracomment>Audio block tooltip. Arguments: none.</extracomment>
        <translation>Reproducir</translation>
    </message>
    <message id="player.pause">
        <source>Pause</source>
        <extracomment>Audio block tooltip. Arguments: none.</extracomment>
        <translation>Pausar</translation>
    </message>
    <message id="telemetry.required.title">
        <source>Usage statistics are on</source>
        <extracomment>Telemetry row label when statistics are mandatory. Arguments: none.</extracomment>
        <translation>Las estadísticas de uso están activadas</translation>
    </message>
    <message id="telemetry.required">
        <source>This account sends a few usage events (such as syncs and AI use) to help improve ScrivelBar. The content of your notes is never included.</source>
        <extracomment>Telemetry row explanation when statistics are mandatory. Arguments: none.</extracomment>
        <translation>Esta cuenta envía algunos eventos de uso (como sincronizaciones y uso de la IA) para ayudar a mejorar ScrivelBar. El contenido de tus notas nunca se incluye.</translation>
    </message>
    <message id="telemetry.optional">
        <source>Share usage statistics</source>
        <extracomment>Telemetry row switch. Arguments: none.</extracomment>
        <translation>Compartir estadísticas de uso</translation>
    </message>
    <message id="telemetry.optional.hint">
        <source>A few usage events (such as syncs and AI use), never the content of your notes.</source>
        <extracomment>Telemetry row caption. Arguments: none.</extracomment>
        <translation>Algunos eventos de uso (como sincronizaciones y uso de la IA), nunca el contenido de tus notas.</translation>
    </message>
    <message id="telemetry.privacy">
        <source>Privacy Policy</source>
        <extracomment>Telemetry row link to the server's privacy page. Arguments: none.</extracomment>
        <translation>Política de privacidad</translation>
    </message>
    <message id="feedback.button">
        <source>Send Feedback…</source>
        <extracomment>Account screen button that opens the feedback form. Arguments: none.</extracomment>
        <translation>Enviar comentarios…</translation>
    </message>
    <message id="feedback.title">
        <source>Send Feedback</source>
        <extracomment>Feedback form title. Arguments: none.</extracomment>
        <translation>Enviar comentarios</translation>
    </message>
    <message id="feedback.placeholder">
        <source>What would you like to tell us?</source>
        <extracomment>Feedback form: placeholder of the message. Arguments: none.</extracomment>
        <translation>¿Qué quieres contarnos?</translation>
    </message>
    <message id="feedback.picture">
        <source>Include a picture of the panel</source>
        <extracomment>Feedback form switch. Arguments: none.</extracomment>
        <translation>Incluir una imagen del panel</translation>
    </message>
    <message id="feedback.diagnostics">
        <source>Include diagnostics</source>
        <extracomment>Feedback form switch. Arguments: none.</extracomment>
        <translation>Incluir diagnóstico</translation>
    </message>
    <message id="feedback.diagnostics.hint">
        <source>Versions, the computer model, the app's log of the last 24 hours and recent crash reports.</source>
        <extracomment>Feedback form caption under the diagnostics switch. Arguments: none.</extracomment>
        <translation>Versiones, el modelo del ordenador, el registro de la aplicación de las últimas 24 horas y los informes de fallos recientes.</translation>
    </message>
    <message id="feedback.diagnostics.show">
        <source>Show Diagnostics</source>
        <extracomment>Feedback form button: show or hide the diagnostics text. Arguments: none.</extracomment>
        <translation>Mostrar diagnóstico</translation>
    </message>
    <message id="feedback.send">
        <source>Send</source>
        <extracomment>Feedback form button. Arguments: none.</extracomment>
        <translation>Enviar</translation>
    </message>
    <message id="feedback.failed">
        <source>The feedback could not be sent: %1</source>
        <extracomment>Feedback form problem; %1 = error description. Arguments: %1 = error (text).</extracomment>
        <translation>No se pudieron enviar los comentarios: %1</translation>
    </message>
    <message id="feedback.sent">
        <source>Thank you! Your feedback was sent.</source>
        <extracomment>Feedback form after sending. Arguments: none.</extracomment>
        <translation>¡Gracias! Tus comentarios se han enviado.</translation>
    </message>
    <message id="list.search">
        <source>Search notes</source>
        <extracomment>Note list: search field placeholder. Arguments: none.</extracomment>
        <translation>Buscar notas</translation>
    </message>
    <message id="list.new">
        <source>New Note</source>
        <extracomment>Note list tooltip: new note (Ctrl+N). Arguments: none.</extracomment>
        <translation>Nota nueva</translation>
    </message>
    <message id="list.newImage">
        <source>New Note from Image</source>
        <extracomment>Note list tooltip and open-dialog button: new note from an image. Arguments: none.</extracomment>
        <translation>Nota nueva desde imagen</translation>
    </message>
    <message id="list.newAudio">
        <source>New Recording</source>
        <extracomment>Note list tooltip: new recording. Arguments: none.</extracomment>
        <translation>Grabación nueva</translation>
    </message>
    <message id="list.filter">
        <source>Filter</source>
        <extracomment>Note list tooltip of the filter menu. Arguments: none.</extracomment>
        <translation>Filtrar</translation>
    </message>
    <message id="list.filter.all">
        <source>All Notes</source>
        <extracomment>Filter menu entry: no filter. Arguments: none.</extracomment>
        <translation>Todas las notas</translation>
    </message>
    <message id="list.filter.markdown">
        <source>Text</source>
        <extracomment>Filter menu entry: notes with text. Arguments: none.</extracomment>
        <translation>Texto</translation>
    </message>
    <message id="list.filter.image">
        <source>Images</source>
        <extracomment>Filter menu entry: notes with images. Arguments: none.</extracomment>
        <translation>Imágenes</translation>
    </message>
    <message id="list.filter.audio">
        <source>Recordings</source>
        <extracomment>Filter menu entry: notes with recordings. Arguments: none.</extracomment>
        <translation>Grabaciones</translation>
    </message>
    <message id="list.trash.title">
        <source>Trash</source>
        <extracomment>Trash screen title. Arguments: none.</extracomment>
        <translation>Papelera</translation>
    </message>
    <message id="list.trash.search">
        <source>Search the trash</source>
        <extracomment>Trash screen: search field placeholder. Arguments: none.</extracomment>
        <translation>Buscar en la papelera</translation>
    </message>
    <message id="list.emptyTrash">
        <source>Empty Trash</source>
        <extracomment>Button and confirmation action: empty the trash. Arguments: none.</extracomment>
        <translation>Vaciar papelera</translation>
    </message>
    <message id="list.emptyTrash.title" numerus="yes">
        <source>Empty the trash (%1 notes)? This cannot be undone.</source>
        <extracomment>Empty-trash confirmation title; %1 = notes in the trash (may be 0 when only media remain). Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>¿Vaciar la papelera (%1 nota)? No se puede deshacer.</numerusform>
            <numerusform>¿Vaciar la papelera (%1 notas)? No se puede deshacer.</numerusform>
        </translation>
    </message>
    <message id="list.conflict" numerus="yes">
        <source>%1 notes were changed in two places; conflict copies were kept.</source>
        <extracomment>Note list banner; %1 = conflict copies made by the last sync. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 nota se cambió en dos sitios; se ha guardado una copia en conflicto.</numerusform>
            <numerusform>%1 notas se cambiaron en dos sitios; se han guardado copias en conflicto.</numerusform>
        </translation>
    </message>
    <message id="list.massDeletion.title" numerus="yes">
        <source>The files of %1 notes disappeared from the notes folder. The notes are kept until you decide.</source>
        <extracomment>Note list banner while the store holds notes whose files vanished at once; %1 = held notes. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>El archivo de %1 nota desapareció de la carpeta de notas. La nota se conserva hasta que decidas.</numerusform>
            <numerusform>Los archivos de %1 notas desaparecieron de la carpeta de notas. Las notas se conservan hasta que decidas.</numerusform>
        </translation>
    </message>
    <message id="list.massDeletion.putBack">
        <source>Put Files Back</source>
        <extracomment>Mass-deletion banner button: write the held notes' files again. Arguments: none.</extracomment>
        <translation>Restaurar archivos</translation>
    </message>
    <message id="list.massDeletion.trash">
        <source>Move to Trash</source>
        <extracomment>Mass-deletion banner button and confirmation action: move the held notes to the trash. Arguments: none.</extracomment>
        <translation>Mover a la papelera</translation>
    </message>
    <message id="list.massDeletion.confirm" numerus="yes">
        <source>Move %1 notes to the trash?</source>
        <extracomment>Confirmation title before the held notes go to the trash; %1 = held notes. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>¿Mover %1 nota a la papelera?</numerusform>
            <numerusform>¿Mover %1 notas a la papelera?</numerusform>
        </translation>
    </message>
    <message id="list.massDeletion.confirm.message">
        <source>Their files are no longer in the notes folder. You can still restore the notes from the trash.</source>
        <extracomment>Confirmation message before the held notes go to the trash. Arguments: none.</extracomment>
        <translation>Sus archivos ya no están en la carpeta de notas. Podrás restaurar las notas desde la papelera.</translation>
    </message>
    <message id="list.unreadable" numerus="yes">
        <source>%1 files in the notes folder could not be read and were left untouched.</source>
        <extracomment>Note list line: files in the notes folder the store could not read; %1 = number of files. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 archivo de la carpeta de notas no se pudo leer y se dejó intacto.</numerusform>
            <numerusform>%1 archivos de la carpeta de notas no se pudieron leer y se dejaron intactos.</numerusform>
        </translation>
    </message>
    <message id="list.unreadable.show">
        <source>Show Files</source>
        <extracomment>Note list: button that shows the names of the unreadable files. Arguments: none.</extracomment>
        <translation>Mostrar archivos</translation>
    </message>
    <message id="list.unreadable.hide">
        <source>Hide Files</source>
        <extracomment>Note list: button that hides the names of the unreadable files. Arguments: none.</extracomment>
        <translation>Ocultar archivos</translation>
    </message>
    <message id="list.menu.copy">
        <source>Copy</source>
        <extracomment>Note row context menu: copy the note. Arguments: none.</extracomment>
        <translation>Copiar</translation>
    </message>
    <message id="list.menu.deleteForever">
        <source>Delete Permanently</source>
        <extracomment>Trash row context menu and purge confirmation button. Arguments: none.</extracomment>
        <translation>Eliminar definitivamente</translation>
    </message>
    <message id="list.restore">
        <source>Restore</source>
        <extracomment>Trash row context menu. Arguments: none.</extracomment>
        <translation>Restaurar</translation>
    </message>
    <message id="list.empty.trash">
        <source>The trash is empty.</source>
        <extracomment>Empty trash message (trash screen, account screen). Arguments: none.</extracomment>
        <translation>La papelera está vacía.</translation>
    </message>
    <message id="list.empty.search">
        <source>No notes match “%1”.</source>
        <extracomment>Empty state for a search; %1 = the query as typed. Arguments: %1 = query (text).</extracomment>
        <translation>Ninguna nota coincide con «%1».</translation>
    </message>
    <message id="list.empty.create">
        <source>Create Note</source>
        <extracomment>Empty-state button: create a note from the query. Arguments: none.</extracomment>
        <translation>Crear nota</translation>
    </message>
    <message id="list.empty.filter">
        <source>No notes of this kind.</source>
        <extracomment>Empty state for a tag filter. Arguments: none.</extracomment>
        <translation>No hay notas de este tipo.</translation>
    </message>
    <message id="list.empty.title">
        <source>No notes yet</source>
        <extracomment>Empty state without notes. Arguments: none.</extracomment>
        <translation>Todavía no hay notas</translation>
    </message>
    <message id="list.empty.first">
        <source>Write Your First Note</source>
        <extracomment>Empty-state button: create the first note. Arguments: none.</extracomment>
        <translation>Escribe tu primera nota</translation>
    </message>
    <message id="list.purge.title">
        <source>Delete “%1” permanently?</source>
        <extracomment>Purge confirmation title; %1 = note title. Arguments: %1 = title (text).</extracomment>
        <translation>¿Eliminar «%1» definitivamente?</translation>
    </message>
    <message id="editor.back">
        <source>Back</source>
        <extracomment>Back button tooltip (editor, trash). Arguments: none.</extracomment>
        <translation>Volver</translation>
    </message>
    <message id="editor.tab.edit">
        <source>Edit</source>
        <extracomment>Editor mode control. Arguments: none.</extracomment>
        <translation>Editar</translation>
    </message>
    <message id="editor.tab.preview">
        <source>Preview</source>
        <extracomment>Editor mode control. Arguments: none.</extracomment>
        <translation>Vista previa</translation>
    </message>
    <message id="editor.empty">
        <source>Empty note. Click to start writing.</source>
        <extracomment>Preview placeholder for a blank note. Arguments: none.</extracomment>
        <translation>Nota vacía. Haz clic para empezar a escribir.</translation>
    </message>
    <message id="editor.copy">
        <source>Copy Text</source>
        <extracomment>Editor toolbar tooltip: copy the text. Arguments: none.</extracomment>
        <translation>Copiar texto</translation>
    </message>
    <message id="editor.share">
        <source>Share</source>
        <extracomment>Editor toolbar tooltip of the share button. Arguments: none.</extracomment>
        <translation>Compartir</translation>
    </message>
    <message id="editor.more">
        <source>More</source>
        <extracomment>Editor toolbar tooltip of the more menu. Arguments: none.</extracomment>
        <translation>Más</translation>
    </message>
    <message id="editor.signedOut.note">
        <source>Sign in to share links and export PDFs.</source>
        <extracomment>More menu information line when signed out. Arguments: none.</extracomment>
        <translation>Inicia sesión para compartir enlaces y exportar a PDF.</translation>
    </message>
    <message id="editor.shareLink">
        <source>Copy Public Link</source>
        <extracomment>Menu entry: publish and copy a public link. Arguments: none.</extracomment>
        <translation>Copiar enlace público</translation>
    </message>
    <message id="editor.shareLink.hint">
        <source>Publishes a read-only link to this note and copies it</source>
        <extracomment>Tooltip of the public-link entry. Arguments: none.</extracomment>
        <translation>Publica un enlace de solo lectura a esta nota y lo copia</translation>
    </message>
    <message id="editor.shareLink.copied">
        <source>Public link copied</source>
        <extracomment>Notice after copying a public link. Arguments: none.</extracomment>
        <translation>Enlace público copiado</translation>
    </message>
    <message id="editor.shareLink.stop">
        <source>Stop Sharing</source>
        <extracomment>Menu entry: revoke the note's public links. Arguments: none.</extracomment>
        <translation>Dejar de compartir</translation>
    </message>
    <message id="editor.shareLink.stopped">
        <source>The note is no longer shared</source>
        <extracomment>Notice after revoking the links. Arguments: none.</extracomment>
        <translation>La nota ya no se comparte</translation>
    </message>
    <message id="editor.addImage">
        <source>Add Image</source>
        <extracomment>Menu entry and open-dialog button: add an image. Arguments: none.</extracomment>
        <translation>Añadir imagen</translation>
    </message>
    <message id="editor.addAudio">
        <source>Record Audio</source>
        <extracomment>Menu entry: record audio into the note. Arguments: none.</extracomment>
        <translation>Grabar audio</translation>
    </message>
    <message id="editor.export.text">
        <source>Export as Markdown…</source>
        <extracomment>Menu entry: export as Markdown. Arguments: none.</extracomment>
        <translation>Exportar como Markdown…</translation>
    </message>
    <message id="editor.export.pdf">
        <source>Export as PDF…</source>
        <extracomment>Menu entry: export as PDF. Arguments: none.</extracomment>
        <translation>Exportar como PDF…</translation>
    </message>
    <message id="editor.reveal">
        <source>Show in File Manager</source>
        <extracomment>Menu entry: show the note file. Arguments: none.</extracomment>
        <translation>Mostrar en el gestor de archivos</translation>
    </message>
    <message id="editor.reveal.failed">
        <source>No file manager could show the note’s file.</source>
        <extracomment>Editor notice when neither a file manager nor the folder could be opened. Arguments: none.</extracomment>
        <translation>Ningún gestor de archivos pudo mostrar el archivo de la nota.</translation>
    </message>
    <message id="editor.delete">
        <source>Delete Note…</source>
        <extracomment>Menu entry: move the note to the trash. Arguments: none.</extracomment>
        <translation>Eliminar nota…</translation>
    </message>
    <message id="editor.delete.title">
        <source>Move this note to the trash?</source>
        <extracomment>Delete confirmation title. Arguments: none.</extracomment>
        <translation>¿Mover esta nota a la papelera?</translation>
    </message>
    <message id="editor.attachment.missing">
        <source>File not found</source>
        <extracomment>Image block label when the file cannot be loaded. Arguments: none.</extracomment>
        <translation>Archivo no encontrado</translation>
    </message>
    <message id="editor.attachment.reveal">
        <source>Show in File Manager</source>
        <extracomment>Media menu entry. Arguments: none.</extracomment>
        <translation>Mostrar en el gestor de archivos</translation>
    </message>
    <message id="editor.attachment.remove.image">
        <source>Remove Image</source>
        <extracomment>Media menu entry and tooltip. Arguments: none.</extracomment>
        <translation>Quitar imagen</translation>
    </message>
    <message id="editor.attachment.remove.audio">
        <source>Remove Recording</source>
        <extracomment>Media menu entry. Arguments: none.</extracomment>
        <translation>Quitar grabación</translation>
    </message>
    <message id="editor.export.image">
        <source>Export Image…</source>
        <extracomment>Media menu entry and tooltip. Arguments: none.</extracomment>
        <translation>Exportar imagen…</translation>
    </message>
    <message id="editor.export.audio">
        <source>Export Recording…</source>
        <extracomment>Media menu entry. Arguments: none.</extracomment>
        <translation>Exportar grabación…</translation>
    </message>
    <message id="editor.export.prompt">
        <source>Export</source>
        <extracomment>Save dialog button. Arguments: none.</extracomment>
        <translation>Exportar</translation>
    </message>
    <message id="editor.export.failed">
        <source>The export failed.</source>
        <extracomment>Export error alert message (detail: the error). Arguments: none.</extracomment>
        <translation>No se pudo exportar.</translation>
    </message>
    <message id="editor.export.pdf.pandoc">
        <source>pandoc could not create the PDF: %1</source>
        <extracomment>PDF export failure; %1 = end of pandoc's error output. Arguments: %1 = message (text).</extracomment>
        <translation>pandoc no pudo crear el PDF: %1</translation>
    </message>
    <message id="editor.export.pdf.failed">
        <source>The PDF could not be created.</source>
        <extracomment>PDF export failure of the printing path. Arguments: none.</extracomment>
        <translation>No se pudo crear el PDF.</translation>
    </message>
    <message id="account.title">
        <source>Account &amp; Settings</source>
        <extracomment>Account screen title. Arguments: none.</extracomment>
        <translation>Cuenta y ajustes</translation>
    </message>
    <message id="account.sync">
        <source>Sync</source>
        <extracomment>Account screen section title. Arguments: none.</extracomment>
        <translation>Sincronización</translation>
    </message>
    <message id="account.sync.subtitle">
        <source>Sign in to keep your notes in sync across devices.</source>
        <extracomment>Account screen section subtitle (signed out). Arguments: none.</extracomment>
        <translation>Inicia sesión para mantener tus notas sincronizadas entre dispositivos.</translation>
    </message>
    <message id="account.terms">
        <source>I accept the terms of use</source>
        <extracomment>Account screen switch (signed out): accept the server's terms. Arguments: none.</extracomment>
        <translation>Acepto las condiciones de uso</translation>
    </message>
    <message id="account.terms.link">
        <source>Read the terms</source>
        <extracomment>Account screen link (signed out) to the server's terms. Arguments: none.</extracomment>
        <translation>Leer las condiciones</translation>
    </message>
    <message id="account.google">
        <source>Sign In with Google</source>
        <extracomment>Account screen button (signed out): sign in with Google. Arguments: none.</extracomment>
        <translation>Iniciar sesión con Google</translation>
    </message>
    <message id="account.google.hint">
        <source>Google sign-in opens in your browser.</source>
        <extracomment>Account screen: caption under the sign-in button. Arguments: none.</extracomment>
        <translation>El inicio de sesión con Google se abre en tu navegador.</translation>
    </message>
    <message id="account.sync.notIncluded">
        <source>Sync is not included in this account. Your notes stay on this computer.</source>
        <extracomment>Account screen: caption when the account has no sync. Arguments: none.</extracomment>
        <translation>La sincronización no está incluida en esta cuenta. Tus notas se quedan en este ordenador.</translation>
    </message>
    <message id="account.sync.localOnlyLine">
        <source>Notes are kept on this computer only</source>
        <extracomment>Account screen: status line when the account has no sync. Arguments: none.</extracomment>
        <translation>Las notas se guardan solo en este ordenador</translation>
    </message>
    <message id="account.pending" numerus="yes">
        <source>%1 notes waiting to upload</source>
        <extracomment>Account screen: status line (orange); %1 = notes not yet accepted by the server. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 nota pendiente de subir</numerusform>
            <numerusform>%1 notas pendientes de subir</numerusform>
        </translation>
    </message>
    <message id="account.allUploaded">
        <source>All notes are uploaded</source>
        <extracomment>Account screen: status line when nothing is pending. Arguments: none.</extracomment>
        <translation>Todas las notas están subidas</translation>
    </message>
    <message id="account.media.pending" numerus="yes">
        <source>%1 media files could not be transferred</source>
        <extracomment>Account screen: status line; %1 = media transfers that failed in the last pass. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>No se pudo transferir %1 archivo multimedia</numerusform>
            <numerusform>No se pudieron transferir %1 archivos multimedia</numerusform>
        </translation>
    </message>
    <message id="account.server.address">
        <source>Server</source>
        <extracomment>Account screen: label of the server address field. Arguments: none.</extracomment>
        <translation>Servidor</translation>
    </message>
    <message id="account.server.address.hint">
        <source>Run your own ScrivelBar server? Enter its address here. Empty means the standard server.</source>
        <extracomment>Account screen: caption under the server address field. Arguments: none.</extracomment>
        <translation>¿Tienes tu propio servidor de ScrivelBar? Escribe aquí su dirección. Vacío significa el servidor estándar.</translation>
    </message>
    <message id="account.server.apply">
        <source>Use</source>
        <extracomment>Account screen button: check and use the typed server address. Arguments: none.</extracomment>
        <translation>Usar</translation>
    </message>
    <message id="account.server.checking">
        <source>Checking the server…</source>
        <extracomment>Account screen: while the typed server address is checked. Arguments: none.</extracomment>
        <translation>Comprobando el servidor…</translation>
    </message>
    <message id="account.server.invalid">
        <source>Enter an https:// address (http:// only for this computer).</source>
        <extracomment>Account screen: the typed server address is not one. Arguments: none.</extracomment>
        <translation>Escribe una dirección https:// (http:// solo para este equipo).</translation>
    </message>
    <message id="account.server.checkFailed">
        <source>No ScrivelBar server answered there: %1</source>
        <extracomment>Account screen: no server answered at the typed address; %1 = error description. Arguments: %1 = error (text).</extracomment>
        <translation>Ningún servidor de ScrivelBar respondió en esa dirección: %1</translation>
    </message>
    <message id="account.server.devOverride">
        <source>The development server %1 is in use (SCRIVEL_DEV_SERVER).</source>
        <extracomment>Account screen: the development override decides the server; %1 = its address. Arguments: %1 = url (text).</extracomment>
        <translation>Se usa el servidor de desarrollo %1 (SCRIVEL_DEV_SERVER).</translation>
    </message>
    <message id="account.server.change.title">
        <source>Switch to the new server?</source>
        <extracomment>Server change confirmation title (signed in). Arguments: none.</extracomment>
        <translation>¿Cambiar al nuevo servidor?</translation>
    </message>
    <message id="account.server.change.message">
        <source>You will be signed out of the current server. Your notes stay on this computer and are uploaded when you sign in to the new one.</source>
        <extracomment>Server change confirmation message (signed in). Arguments: none.</extracomment>
        <translation>Se cerrará tu sesión en el servidor actual. Tus notas se quedan en este equipo y se subirán cuando inicies sesión en el nuevo.</translation>
    </message>
    <message id="account.server.change.action">
        <source>Sign Out and Switch</source>
        <extracomment>Server change confirmation button. Arguments: none.</extracomment>
        <translation>Cerrar sesión y cambiar</translation>
    </message>
    <message id="account.server.unreachable">
        <source>Server unreachable: %1</source>
        <extracomment>Account screen: server status line; %1 = error description. Arguments: %1 = error (text).</extracomment>
        <translation>Servidor inaccesible: %1</translation>
    </message>
    <message id="account.server.ok">
        <source>Server %1</source>
        <extracomment>Account screen: server status part; %1 = server version. Arguments: %1 = version (text).</extracomment>
        <translation>Servidor %1</translation>
    </message>
    <message id="account.server.media.on">
        <source>Media sync on</source>
        <extracomment>Account screen: server status part. Arguments: none.</extracomment>
        <translation>Sincronización multimedia activada</translation>
    </message>
    <message id="account.server.media.off">
        <source>No media sync</source>
        <extracomment>Account screen: server status part. Arguments: none.</extracomment>
        <translation>Sin sincronización multimedia</translation>
    </message>
    <message id="account.server.usage">
        <source>%1% of %2 used</source>
        <extracomment>Account screen: server status part; %1 = percent used, %2 = quota as a byte size. Arguments: %1 = percent (number), %2 = quota (text).</extracomment>
        <translation>%1 % de %2 usado</translation>
    </message>
    <message id="account.server.signup.off">
        <source>Sign-ups closed</source>
        <extracomment>Account screen: server status part. Arguments: none.</extracomment>
        <translation>Registros cerrados</translation>
    </message>
    <message id="account.autoSync">
        <source>Sync automatically</source>
        <extracomment>Account screen switch (signed in). Arguments: none.</extracomment>
        <translation>Sincronizar automáticamente</translation>
    </message>
    <message id="account.syncNow">
        <source>Sync Now</source>
        <extracomment>Account screen button (signed in): sync now. Arguments: none.</extracomment>
        <translation>Sincronizar ahora</translation>
    </message>
    <message id="account.dashboard">
        <source>Open Web Dashboard</source>
        <extracomment>Account screen button (signed in): open the web dashboard. Arguments: none.</extracomment>
        <translation>Abrir panel web</translation>
    </message>
    <message id="account.dashboard.hint">
        <source>Opens your account in the browser, already signed in.</source>
        <extracomment>Account screen: caption of the dashboard button. Arguments: none.</extracomment>
        <translation>Abre tu cuenta en el navegador con la sesión ya iniciada.</translation>
    </message>
    <message id="account.signOut">
        <source>Sign Out</source>
        <extracomment>Account screen button (signed in) and sign-out confirmation action. Arguments: none.</extracomment>
        <translation>Cerrar sesión</translation>
    </message>
    <message id="account.signOut.title">
        <source>Sign out? Your notes stay on this computer.</source>
        <extracomment>Account screen: sign-out confirmation title. Arguments: none.</extracomment>
        <translation>¿Cerrar sesión? Tus notas se quedan en este ordenador.</translation>
    </message>
    <message id="account.prefs">
        <source>Preferences</source>
        <extracomment>Account screen section title. Arguments: none.</extracomment>
        <translation>Preferencias</translation>
    </message>
    <message id="account.launchAtLogin">
        <source>Launch at login</source>
        <extracomment>Account screen switch (preferences). Arguments: none.</extracomment>
        <translation>Abrir al iniciar sesión</translation>
    </message>
    <message id="account.launchAtLogin.failed">
        <source>Launch at login could not be changed: %1</source>
        <extracomment>Account screen problem under the launch-at-login switch; %1 = error description. Arguments: %1 = error (text).</extracomment>
        <translation>No se pudo cambiar «Abrir al iniciar sesión»: %1</translation>
    </message>
    <message id="account.launchAtLogin.blocked">
        <source>Launch at login needs your approval in the system settings.</source>
        <extracomment>Account screen problem under the launch-at-login switch: approval needed. Arguments: none.</extracomment>
        <translation>Para abrir al iniciar sesión, apruébalo en la configuración del sistema.</translation>
    </message>
    <message id="account.launchAtLogin.outside">
        <source>ScrivelBar is running from outside its installed location, so launch at login may not find it.</source>
        <extracomment>Account screen: caption when the app runs from outside its installed location. Arguments: none.</extracomment>
        <translation>ScrivelBar se está ejecutando fuera de su ubicación de instalación, así que es posible que no se abra al iniciar sesión.</translation>
    </message>
    <message id="account.launchAtLogin.appImage">
        <source>The AppImage file this copy runs from (mounted at %1) was not found, so it cannot be started at login.</source>
        <extracomment>Launch-at-login failure: the AppImage file of the running copy is gone; %1 = its mount folder. Arguments: %1 = folder (text).</extracomment>
        <translation>No se encontró el archivo AppImage del que se ejecuta esta copia (montada en %1), así que no se puede abrir al iniciar sesión.</translation>
    </message>
    <message id="account.launchAtLogin.buildFolder">
        <source>%1 is in a build folder and no installed copy was found; install ScrivelBar to start it at login.</source>
        <extracomment>Launch-at-login failure: the running program is a build folder's and none is installed; %1 = its path. Arguments: %1 = path (text).</extracomment>
        <translation>%1 está en una carpeta de compilación y no se encontró ninguna copia instalada; instala ScrivelBar para abrirlo al iniciar sesión.</translation>
    </message>
    <message id="account.hotkey">
        <source>Global shortcut</source>
        <extracomment>Account screen picker label (preferences). Arguments: none.</extracomment>
        <translation>Atajo global</translation>
    </message>
    <message id="account.hotkey.hint">
        <source>Opens and closes the panel from any application.</source>
        <extracomment>Account screen caption of the hot-key picker. Arguments: none.</extracomment>
        <translation>Abre y cierra el panel desde cualquier aplicación.</translation>
    </message>
    <message id="account.hotkey.taken">
        <source>%1 is taken by another program, so it does not open the panel. Choose another shortcut, or add a desktop shortcut that runs this command:</source>
        <extracomment>Account screen: the chosen hot key is held by another program. Arguments: %1 = shortcut (text).</extracomment>
        <translation>Otro programa ya usa %1, así que no abre el panel. Elige otro atajo o añade un atajo del escritorio que ejecute este comando:</translation>
    </message>
    <message id="account.hotkey.unsupported">
        <source>This desktop does not let applications set a global shortcut. Add a desktop shortcut that runs this command:</source>
        <extracomment>Account screen: this desktop lets no application set a global shortcut. Arguments: none.</extracomment>
        <translation>Este escritorio no permite que las aplicaciones definan un atajo global. Añade un atajo del escritorio que ejecute este comando:</translation>
    </message>
    <message id="account.hotkey.pending">
        <source>Waiting for the desktop to confirm %1…</source>
        <extracomment>Account screen: the desktop has not yet confirmed the hot key. Arguments: %1 = shortcut (text).</extracomment>
        <translation>Esperando a que el escritorio confirme %1…</translation>
    </message>
    <message id="account.hotkey.replaced">
        <source>%1 is taken by another program, so ScrivelBar uses %2 instead.</source>
        <extracomment>Account screen: one-time notice after the first start chose another hot key because the default was taken. Arguments: %1 = taken (text), %2 = chosen (text).</extracomment>
        <translation>Otro programa ya usa %1, así que ScrivelBar usa %2 en su lugar.</translation>
    </message>
    <message id="account.hotkey.copy">
        <source>Copy</source>
        <extracomment>Account screen button: copies the desktop-shortcut command to the clipboard. Arguments: none.</extracomment>
        <translation>Copiar</translation>
    </message>
    <message id="account.hotkey.where">
        <source>Add it in GNOME under Settings → Keyboard → Custom Shortcuts, in KDE Plasma under System Settings → Shortcuts, in Xfce under Keyboard → Application Shortcuts.</source>
        <extracomment>Account screen: where to add a desktop shortcut on the common desktops. Arguments: none.</extracomment>
        <translation>Añádelo en GNOME en Configuración → Teclado → Atajos personalizados, en KDE Plasma en Preferencias del sistema → Atajos, en Xfce en Teclado → Atajos de aplicaciones.</translation>
    </message>
    <message id="account.icon">
        <source>Tray icon</source>
        <extracomment>Account screen picker label (preferences): tray icon style. Arguments: none.</extracomment>
        <translation>Icono de la bandeja</translation>
    </message>
    <message id="account.icon.choice">
        <source>Tray icon: %1</source>
        <extracomment>Account screen: tooltip and accessible name of one tray icon choice (preferences); %1 = what the icon shows (account.icon.list, …). Arguments: %1 = icon (text).</extracomment>
        <translation>Icono de la bandeja: %1</translation>
    </message>
    <message id="account.icon.list">
        <source>List</source>
        <extracomment>Account screen: what a tray icon choice shows (a bulleted list). Arguments: none.</extracomment>
        <translation>Lista</translation>
    </message>
    <message id="account.icon.dotted">
        <source>Underlined text</source>
        <extracomment>Account screen: what a tray icon choice shows (letters with a dotted underline). Arguments: none.</extracomment>
        <translation>Texto subrayado</translation>
    </message>
    <message id="account.icon.pencil">
        <source>Pencil</source>
        <extracomment>Account screen: what a tray icon choice shows (a pencil). Arguments: none.</extracomment>
        <translation>Lápiz</translation>
    </message>
    <message id="account.icon.append">
        <source>Document</source>
        <extracomment>Account screen: what a tray icon choice shows (a page with lines being added). Arguments: none.</extracomment>
        <translation>Documento</translation>
    </message>
    <message id="account.icon.stack">
        <source>Stacked cards</source>
        <extracomment>Account screen: what a tray icon choice shows (cards stacked on each other). Arguments: none.</extracomment>
        <translation>Tarjetas apiladas</translation>
    </message>
    <message id="account.panelHeight">
        <source>Panel height</source>
        <extracomment>Account screen slider label (preferences). Arguments: none.</extracomment>
        <translation>Altura del panel</translation>
    </message>
    <message id="account.panelHeight.hint">
        <source>You can also drag the panel's edge to resize it.</source>
        <extracomment>Account screen caption of the panel-height slider. Arguments: none.</extracomment>
        <translation>También puedes arrastrar el borde del panel para cambiar su tamaño.</translation>
    </message>
    <message id="account.language">
        <source>Language</source>
        <extracomment>Account screen picker label (preferences). Arguments: none.</extracomment>
        <translation>Idioma</translation>
    </message>
    <message id="account.language.system">
        <source>Same as system</source>
        <extracomment>Account screen: language picker entry: follow the system. Arguments: none.</extracomment>
        <translation>Igual que el sistema</translation>
    </message>
    <message id="account.language.hint">
        <source>Some system dialogs switch to the new language after a restart.</source>
        <extracomment>Account screen caption of the language picker. Arguments: none.</extracomment>
        <translation>Algunos diálogos del sistema cambian al nuevo idioma tras reiniciar.</translation>
    </message>
    <message id="account.folder">
        <source>Notes Folder</source>
        <extracomment>Account screen section title. Arguments: none.</extracomment>
        <translation>Carpeta de notas</translation>
    </message>
    <message id="account.folder.subtitle">
        <source>Your notes are plain Markdown files in this folder.</source>
        <extracomment>Account screen subtitle of the notes-folder section. Arguments: none.</extracomment>
        <translation>Tus notas son archivos Markdown normales en esta carpeta.</translation>
    </message>
    <message id="account.folder.change">
        <source>Change Folder…</source>
        <extracomment>Account screen button: choose another notes folder. Arguments: none.</extracomment>
        <translation>Cambiar carpeta…</translation>
    </message>
    <message id="account.folder.reveal">
        <source>Open Folder</source>
        <extracomment>Account screen button: open the notes folder in the file manager. Arguments: none.</extracomment>
        <translation>Abrir carpeta</translation>
    </message>
    <message id="account.folder.reveal.failed">
        <source>Could not open the notes folder</source>
        <extracomment>Account screen: alert title when no file manager or other handler opened the notes folder. Arguments: none.</extracomment>
        <translation>No se pudo abrir la carpeta de notas</translation>
    </message>
    <message id="account.folder.reveal.failed.message">
        <source>No file manager or other application opened %1. Open the folder from your file manager, or choose a default application for folders in your desktop settings.</source>
        <extracomment>Account screen: alert message when the notes folder could not be opened; %1 = the folder's path. Arguments: %1 = path (text).</extracomment>
        <translation>Ningún gestor de archivos ni otra aplicación abrió %1. Abre la carpeta desde tu gestor de archivos o elige una aplicación predeterminada para las carpetas en la configuración del escritorio.</translation>
    </message>
    <message id="account.folder.panel.message">
        <source>Choose the folder for your notes. The existing note files are moved there.</source>
        <extracomment>Account screen: folder chooser message. Arguments: none.</extracomment>
        <translation>Elige la carpeta de tus notas. Los archivos de notas existentes se moverán allí.</translation>
    </message>
    <message id="account.folder.panel.prompt">
        <source>Use This Folder</source>
        <extracomment>Account screen: folder chooser button. Arguments: none.</extracomment>
        <translation>Usar esta carpeta</translation>
    </message>
    <message id="account.trash">
        <source>Trash</source>
        <extracomment>Account screen section title. Arguments: none.</extracomment>
        <translation>Papelera</translation>
    </message>
    <message id="account.trash.subtitle">
        <source>Deleted notes stay here until you empty the trash.</source>
        <extracomment>Account screen subtitle of the trash section. Arguments: none.</extracomment>
        <translation>Las notas eliminadas se quedan aquí hasta que vacíes la papelera.</translation>
    </message>
    <message id="account.trash.count" numerus="yes">
        <source>%1 notes in the trash</source>
        <extracomment>Account screen: caption; %1 = notes in the trash (at least 1). Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 nota en la papelera</numerusform>
            <numerusform>%1 notas en la papelera</numerusform>
        </translation>
    </message>
    <message id="account.trash.show">
        <source>Show Trash</source>
        <extracomment>Account screen button: open the trash list. Arguments: none.</extracomment>
        <translation>Ver papelera</translation>
    </message>
    <message id="account.danger">
        <source>Danger Zone</source>
        <extracomment>Account screen section title. Arguments: none.</extracomment>
        <translation>Zona de peligro</translation>
    </message>
    <message id="account.deleteNotes">
        <source>Delete All Notes…</source>
        <extracomment>Account screen button (danger zone): delete all notes. Arguments: none.</extracomment>
        <translation>Eliminar todas las notas…</translation>
    </message>
    <message id="account.deleteNotes.title">
        <source>Delete all notes?</source>
        <extracomment>Delete-all-notes confirmation title. Arguments: none.</extracomment>
        <translation>¿Eliminar todas las notas?</translation>
    </message>
    <message id="account.deleteNotes.message">
        <source>Every note, with its images and recordings, is deleted from this computer and, at the next sync, from the server. This cannot be undone.</source>
        <extracomment>Delete-all-notes confirmation message. Arguments: none.</extracomment>
        <translation>Todas las notas, con sus imágenes y grabaciones, se eliminan de este ordenador y, en la próxima sincronización, del servidor. No se puede deshacer.</translation>
    </message>
    <message id="account.deleteNotes.action">
        <source>Delete All Notes</source>
        <extracomment>Delete-all-notes confirmation button. Arguments: none.</extracomment>
        <translation>Eliminar todas las notas</translation>
    </message>
    <message id="account.deleteAccount">
        <source>Delete Account…</source>
        <extracomment>Account screen button (danger zone, signed in): delete the account. Arguments: none.</extracomment>
        <translation>Eliminar cuenta…</translation>
    </message>
    <message id="account.deleteAccount.title">
        <source>Delete your account?</source>
        <extracomment>Delete-account confirmation title. Arguments: none.</extracomment>
        <translation>¿Eliminar tu cuenta?</translation>
    </message>
    <message id="account.deleteAccount.message">
        <source>Your account and the notes stored on the server are deleted. The notes on this computer stay.</source>
        <extracomment>Delete-account confirmation message. Arguments: none.</extracomment>
        <translation>Se eliminan tu cuenta y las notas guardadas en el servidor. Las notas de este ordenador se conservan.</translation>
    </message>
    <message id="account.deleteAccount.action">
        <source>Delete Account</source>
        <extracomment>Delete-account confirmation button. Arguments: none.</extracomment>
        <translation>Eliminar cuenta</translation>
    </message>
    <message id="account.deleteAccount.signedOut">
        <source>Sign in to delete your account.</source>
        <extracomment>Account screen: caption instead of the delete-account button. Arguments: none.</extracomment>
        <translation>Inicia sesión para eliminar tu cuenta.</translation>
    </message>
    <message id="footer.account.signedIn">
        <source>Account and settings (signed in as %1)</source>
        <extracomment>Footer account button tooltip; %1 = account e-mail. Arguments: %1 = email (text).</extracomment>
        <translation>Cuenta y ajustes (sesión iniciada como %1)</translation>
    </message>
    <message id="footer.account.signedOut">
        <source>Account and settings (not signed in)</source>
        <extracomment>Footer account button tooltip. Arguments: none.</extracomment>
        <translation>Cuenta y ajustes (sin sesión iniciada)</translation>
    </message>
    <message id="footer.syncNow">
        <source>Sync Now</source>
        <extracomment>Footer button tooltip. Arguments: none.</extracomment>
        <translation>Sincronizar ahora</translation>
    </message>
    <message id="footer.quit.title">
        <source>Quit ScrivelBar?</source>
        <extracomment>Quit confirmation title. Arguments: none.</extracomment>
        <translation>¿Salir de ScrivelBar?</translation>
    </message>
    <message id="footer.quit.action">
        <source>Quit</source>
        <extracomment>Quit confirmation button. Arguments: none.</extracomment>
        <translation>Salir</translation>
    </message>
    <message id="footer.quit.message.pending" numerus="yes">
        <source>%1 notes have changes that are not uploaded yet. They will be uploaded the next time ScrivelBar syncs.</source>
        <extracomment>Quit confirmation message; %1 = notes not uploaded yet. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 nota tiene cambios que aún no se han subido. Se subirán la próxima vez que ScrivelBar sincronice.</numerusform>
            <numerusform>%1 notas tienen cambios que aún no se han subido. Se subirán la próxima vez que ScrivelBar sincronice.</numerusform>
        </translation>
    </message>
    <message id="footer.quit.message.clean">
        <source>All your notes are saved.</source>
        <extracomment>Quit confirmation message. Arguments: none.</extracomment>
        <translation>Todas tus notas están guardadas.</translation>
    </message>
    <message id="footer.status.syncing">
        <source>Syncing…</source>
        <extracomment>Footer status line. Arguments: none.</extracomment>
        <translation>Sincronizando…</translation>
    </message>
    <message id="footer.status.pending" numerus="yes">
        <source>%1 notes not synced yet</source>
        <extracomment>Footer status line; %1 = notes not yet synced. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 nota sin sincronizar</numerusform>
            <numerusform>%1 notas sin sincronizar</numerusform>
        </translation>
    </message>
    <message id="footer.status.mediaPending" numerus="yes">
        <source>%1 media files not transferred</source>
        <extracomment>Footer status line; %1 = media transfers that failed. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 archivo multimedia sin transferir</numerusform>
            <numerusform>%1 archivos multimedia sin transferir</numerusform>
        </translation>
    </message>
    <message id="footer.status.connected">
        <source>Connected</source>
        <extracomment>Footer status line: signed in, no sync yet. Arguments: none.</extracomment>
        <translation>Conectado</translation>
    </message>
    <message id="footer.status.upToDate">
        <source>Synced at %1</source>
        <extracomment>Footer status line; %1 = time of the last sync (short time). Arguments: %1 = time (text).</extracomment>
        <translation>Última sincronización: %1</translation>
    </message>
    <message id="footer.status.localOnly">
        <source>Notes are kept on this computer</source>
        <extracomment>Footer status line: not syncing, no notes. Arguments: none.</extracomment>
        <translation>Las notas se guardan en este ordenador</translation>
    </message>
    <message id="footer.status.localOnlyCount" numerus="yes">
        <source>%1 notes on this computer</source>
        <extracomment>Footer status line: not syncing; %1 = live notes. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 nota en este ordenador</numerusform>
            <numerusform>%1 notas en este ordenador</numerusform>
        </translation>
    </message>
    <message id="share.copyText">
        <source>Copy Text</source>
        <extracomment>Share menu entry: copy the note's text. Arguments: none.</extracomment>
        <translation>Copiar texto</translation>
    </message>
    <message id="share.email">
        <source>Send by Email…</source>
        <extracomment>Share menu entry: send by e-mail. Arguments: none.</extracomment>
        <translation>Enviar por correo…</translation>
    </message>
    <message id="share.email.failed">
        <source>No e-mail program is set up to send this note.</source>
        <extracomment>Notice after the e-mail share entry when no mail program opened. Arguments: none.</extracomment>
        <translation>No hay ningún programa de correo configurado para enviar esta nota.</translation>
    </message>
    <message id="share.showFiles.failed">
        <source>No file manager could show the files.</source>
        <extracomment>Notice after the share menu's show-files entry when no file manager opened. Arguments: none.</extracomment>
        <translation>Ningún gestor de archivos pudo mostrar los archivos.</translation>
    </message>
    <message id="share.copyFiles">
        <source>Copy Files</source>
        <extracomment>Share menu entry: copy the attached files. Arguments: none.</extracomment>
        <translation>Copiar archivos</translation>
    </message>
    <message id="share.showFiles">
        <source>Show Files</source>
        <extracomment>Share menu entry: show the attached files. Arguments: none.</extracomment>
        <translation>Mostrar archivos</translation>
    </message>
    <message id="dialog.filter.images">
        <source>Images (%1)</source>
        <extracomment>File dialog filter; %1 = file patterns such as “*.png *.jpg”. Arguments: %1 = patterns (text).</extracomment>
        <translation>Imágenes (%1)</translation>
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
        <translation>Texto sin formato (%1)</translation>
    </message>
    <message id="dialog.filter.pdf">
        <source>PDF (%1)</source>
        <extracomment>File dialog filter; %1 = file patterns. Arguments: %1 = patterns (text).</extracomment>
        <translation>PDF (%1)</translation>
    </message>
    <message id="date.relative.now">
        <source>now</source>
        <extracomment>Note row: relative time of the last change, under a second ago. Arguments: none.</extracomment>
        <translation>ahora</translation>
    </message>
    <message id="date.relative.seconds" numerus="yes">
        <source>%1 sec ago</source>
        <extracomment>Note row: relative time of the last change; %1 = seconds. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>hace %1 s</numerusform>
            <numerusform>hace %1 s</numerusform>
        </translation>
    </message>
    <message id="date.relative.minutes" numerus="yes">
        <source>%1 min ago</source>
        <extracomment>Note row: relative time of the last change; %1 = minutes. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>hace %1 min</numerusform>
            <numerusform>hace %1 min</numerusform>
        </translation>
    </message>
    <message id="date.relative.hours" numerus="yes">
        <source>%1 hr ago</source>
        <extracomment>Note row: relative time of the last change; %1 = hours. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>hace %1 h</numerusform>
            <numerusform>hace %1 h</numerusform>
        </translation>
    </message>
    <message id="date.relative.days" numerus="yes">
        <source>%1 days ago</source>
        <extracomment>Note row: relative time of the last change; %1 = days. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>hace %1 día</numerusform>
            <numerusform>hace %1 días</numerusform>
        </translation>
    </message>
    <message id="date.relative.weeks" numerus="yes">
        <source>%1 wk ago</source>
        <extracomment>Note row: relative time of the last change; %1 = weeks. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>hace %1 sem.</numerusform>
            <numerusform>hace %1 sem.</numerusform>
        </translation>
    </message>
    <message id="date.relative.months" numerus="yes">
        <source>%1 mo ago</source>
        <extracomment>Note row: relative time of the last change; %1 = months. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>hace %1 mes</numerusform>
            <numerusform>hace %1 meses</numerusform>
        </translation>
    </message>
    <message id="date.relative.years" numerus="yes">
        <source>%1 yr ago</source>
        <extracomment>Note row: relative time of the last change; %1 = years. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>hace %1 año</numerusform>
            <numerusform>hace %1 años</numerusform>
        </translation>
    </message>
    <message id="list.search.clear">
        <source>Clear search</source>
        <extracomment>Note list: tooltip and accessible name of the button that clears the search. Arguments: none.</extracomment>
        <translation>Borrar la búsqueda</translation>
    </message>
    <message id="list.notes">
        <source>Notes</source>
        <extracomment>Note list: accessible name of the list of notes. Arguments: none.</extracomment>
        <translation>Notas</translation>
    </message>
    <message id="editor.text">
        <source>Note text</source>
        <extracomment>Editor: accessible name of the text editor (edit mode). Arguments: none.</extracomment>
        <translation>Texto de la nota</translation>
    </message>
    <message id="editor.preview.page">
        <source>Note preview</source>
        <extracomment>Editor: accessible name of the rendered note (preview mode). Arguments: none.</extracomment>
        <translation>Vista previa de la nota</translation>
    </message>
    <message id="editor.preview.heading">
        <source>Heading, level %1</source>
        <extracomment>Preview: accessible description of a heading. Arguments: %1 = level (number).</extracomment>
        <translation>Encabezado, nivel %1</translation>
    </message>
    <message id="editor.link.failed">
        <source>No program could open “%1”.</source>
        <extracomment>Editor notice when a link in the preview found no program to open it. Arguments: %1 = address (text).</extracomment>
        <translation>Ningún programa pudo abrir «%1».</translation>
    </message>
    <message id="editor.checkbox.checked">
        <source>Done — click to mark as open</source>
        <extracomment>Preview: tooltip and accessible name of a ticked task box. Arguments: none.</extracomment>
        <translation>Hecha: haz clic para marcarla como pendiente</translation>
    </message>
    <message id="editor.checkbox.unchecked">
        <source>Open — click to mark as done</source>
        <extracomment>Preview: tooltip and accessible name of an open task box. Arguments: none.</extracomment>
        <translation>Pendiente: haz clic para marcarla como hecha</translation>
    </message>
    <message id="editor.export.error.write">
        <source>Could not write “%1”.</source>
        <extracomment>Export error detail: the Markdown file could not be written; %1 = file path. Arguments: %1 = file (text).</extracomment>
        <translation>No se pudo escribir «%1».</translation>
    </message>
    <message id="editor.export.error.copy">
        <source>Could not copy “%1”.</source>
        <extracomment>Export error detail: a media file could not be copied; %1 = file path. Arguments: %1 = file (text).</extracomment>
        <translation>No se pudo copiar «%1».</translation>
    </message>
    <message id="share.copied.text">
        <source>Text copied</source>
        <extracomment>Notice after the share menu copied the note's text. Arguments: none.</extracomment>
        <translation>Texto copiado</translation>
    </message>
    <message id="share.copied.files" numerus="yes">
        <source>%1 files copied</source>
        <extracomment>Notice after the share menu copied the attached files; %1 = number of files. Arguments: %1 = count (number).</extracomment>
        <translation>
            <numerusform>%1 archivo copiado</numerusform>
            <numerusform>%1 archivos copiados</numerusform>
        </translation>
    </message>
    <message id="keychain.denied">
        <source>Access to the keychain was denied.</source>
        <extracomment>Keychain failure: the user or the system refused access; the keychain's own detail may follow. Arguments: none.</extracomment>
        <translation>Se denegó el acceso al llavero.</translation>
    </message>
    <message id="keychain.failed">
        <source>The keychain could not be used.</source>
        <extracomment>Keychain failure of any other kind; the keychain's own detail may follow. Arguments: none.</extracomment>
        <translation>No se pudo usar el llavero.</translation>
    </message>
    <message id="keychain.noAnswer">
        <source>The keychain did not answer.</source>
        <extracomment>Keychain failure: no answer within the time limit. Arguments: none.</extracomment>
        <translation>El llavero no respondió.</translation>
    </message>
    <message id="keychain.unavailable">
        <source>No keychain is available.</source>
        <extracomment>Keychain failure: the desktop offers no Secret Service; the keychain's own detail may follow. Arguments: none.</extracomment>
        <translation>No hay ningún llavero disponible.</translation>
    </message>
    <message id="ai.error.badEndpoint">
        <source>%1 is not a usable address (it must be https, or http to 127.0.0.1 or localhost). Nothing was sent.</source>
        <extracomment>AI error: an address override in the environment is not usable; %1 = variable name. Arguments: %1 = variable (text).</extracomment>
        <translation>%1 no es una dirección válida (debe ser https, o http a 127.0.0.1 o localhost). No se envió nada.</translation>
    </message>
    <message id="ai.error.network">
        <source>The AI provider could not be reached: %1</source>
        <extracomment>AI error: the provider could not be reached; %1 = the system's description. Arguments: %1 = message (text).</extracomment>
        <translation>No se pudo contactar con el proveedor de IA: %1</translation>
    </message>
    <message id="ai.error.timedOut">
        <source>The AI provider did not answer in time.</source>
        <extracomment>AI error: the provider did not answer in time. Arguments: none.</extracomment>
        <translation>El proveedor de IA no respondió a tiempo.</translation>
    </message>
    <message id="ai.error.answerTooLarge">
        <source>The AI provider's answer was too large.</source>
        <extracomment>AI error: the provider's answer exceeded the size limit. Arguments: none.</extracomment>
        <translation>La respuesta del proveedor de IA era demasiado grande.</translation>
    </message>
    <message id="ai.error.mediaMissing">
        <source>The attached file could not be found.</source>
        <extracomment>AI error: the media file is missing or outside the note's attachments. Arguments: none.</extracomment>
        <translation>No se encontró el archivo adjunto.</translation>
    </message>
    <message id="ai.local.text.unsupported">
        <source>Text recognition on this device is not available yet.</source>
        <extracomment>Why local text recognition is unavailable: no on-device engine in this build. Arguments: none.</extracomment>
        <translation>El reconocimiento de texto en este dispositivo aún no está disponible.</translation>
    </message>
    <message id="ai.local.speech.unsupported">
        <source>Speech recognition on this device is not available yet.</source>
        <extracomment>Why local transcription is unavailable: no on-device engine in this build. Arguments: none.</extracomment>
        <translation>El reconocimiento de voz en este dispositivo aún no está disponible.</translation>
    </message>
    <message id="ai.consent.terminal">
        <source>Type y to send once, a to send and stop asking, anything else to cancel: </source>
        <extracomment>Command-line consent question: how to answer. Arguments: none.</extracomment>
        <translation>Escribe y para enviar una vez, a para enviar y no volver a preguntar, o cualquier otra cosa para cancelar: </translation>
    </message>
    <message id="ai.consent.noTerminal">
        <source>Sending to %1 needs your consent: run it in a terminal, or pass --yes.</source>
        <extracomment>Command-line failure: consent is needed but standard input is no terminal; %1 = provider name. Arguments: %1 = provider (text).</extracomment>
        <translation>Enviar a %1 requiere tu consentimiento: ejecútalo en un terminal o añade --yes.</translation>
    </message>
    <message id="ai.consent.declined">
        <source>Nothing was sent.</source>
        <extracomment>Command-line failure: the user did not consent to sending. Arguments: none.</extracomment>
        <translation>No se envió nada.</translation>
    </message>
    <message id="ai.local.address.invalid">
        <source>“%1” is not a server address (it should look like http://127.0.0.1:8080).</source>
        <extracomment>Local AI settings: the server address cannot be used; %1 = the address as written. Arguments: %1 = address (text).</extracomment>
        <translation>«%1» no es una dirección de servidor (debería parecerse a http://127.0.0.1:8080).</translation>
    </message>
    <message id="ai.local.address.notLocal">
        <source>“%1” is not on this computer. On-device work only uses servers on this computer (127.0.0.1 or localhost).</source>
        <extracomment>Local AI settings: the address is not on this computer, so nothing is sent there; %1 = the address. Arguments: %1 = address (text).</extracomment>
        <translation>«%1» no está en este equipo. El trabajo en el dispositivo solo usa servidores de este equipo (127.0.0.1 o localhost).</translation>
    </message>
    <message id="ai.error.imageUnreadable">
        <source>The image could not be read.</source>
        <extracomment>AI error: the image file could not be decoded. Arguments: none.</extracomment>
        <translation>No se pudo leer la imagen.</translation>
    </message>
    <message id="ai.local.text.noLanguages">
        <source>Text recognition on this device has no language data installed (tesseract-ocr-eng).</source>
        <extracomment>AI error: no text recognition language data is installed. Arguments: none.</extracomment>
        <translation>El reconocimiento de texto en el dispositivo no tiene datos de idioma instalados (tesseract-ocr-eng).</translation>
    </message>
    <message id="ai.error.audioUnreadable">
        <source>The recording could not be read: %1</source>
        <extracomment>AI error: the recording could not be decoded; %1 = the decoder's description. Arguments: %1 = detail (text).</extracomment>
        <translation>No se pudo leer la grabación: %1</translation>
    </message>
    <message id="ai.error.audioStalled">
        <source>Reading the recording stopped and did not finish.</source>
        <extracomment>AI error: decoding the recording stopped making progress. Arguments: none.</extracomment>
        <translation>La lectura de la grabación se detuvo y no terminó.</translation>
    </message>
    <message id="ai.local.speech.maxDuration">
        <source>%1 minutes of audio</source>
        <extracomment>Size limit of a local transcription, shown inside ai.error.tooLarge; %1 = minutes. Arguments: %1 = minutes (number).</extracomment>
        <translation>%1 minutos de audio</translation>
    </message>
    <message id="ai.local.summary.checking">
        <source>Looking for a local language model server…</source>
        <extracomment>Why local summaries are unavailable: the local model server is still being looked for. Arguments: none.</extracomment>
        <translation>Buscando un servidor local de modelos de lenguaje…</translation>
    </message>
    <message id="ai.language.en">
        <source>English</source>
        <extracomment>Name of the English language in the interface language. Arguments: none.</extracomment>
        <translation>inglés</translation>
    </message>
    <message id="ai.language.es">
        <source>Spanish</source>
        <extracomment>Name of the Spanish language in the interface language. Arguments: none.</extracomment>
        <translation>español</translation>
    </message>
    <message id="ai.language.pt">
        <source>Portuguese</source>
        <extracomment>Name of the Portuguese language in the interface language. Arguments: none.</extracomment>
        <translation>portugués</translation>
    </message>
    <message id="ai.local.engine.text">
        <source>Text in images: tesseract (%1)</source>
        <extracomment>AI settings: which engine reads text in images; %1 = language names. Arguments: %1 = languages (text).</extracomment>
        <translation>Texto en imágenes: tesseract (%1)</translation>
    </message>
    <message id="ai.local.engine.speechServer">
        <source>Transcriptions: the speech server at %1</source>
        <extracomment>AI settings: transcriptions run on the local speech server; %1 = its address. Arguments: %1 = address (text).</extracomment>
        <translation>Transcripciones: el servidor de voz en %1</translation>
    </message>
    <message id="ai.local.engine.speechClassic">
        <source>Transcriptions: pocketsphinx (US English only; start a speech server such as whisper.cpp for other languages)</source>
        <extracomment>AI settings: transcriptions run on pocketsphinx (no speech server answers). Arguments: none.</extracomment>
        <translation>Transcripciones: pocketsphinx (solo inglés de EE. UU.; inicie un servidor de voz como whisper.cpp para otros idiomas)</translation>
    </message>
    <message id="ai.local.engine.summary">
        <source>Summaries: %1 on the model server at %2</source>
        <extracomment>AI settings: summaries run on the local model server; %1 = model, %2 = address. Arguments: %1 = model (text), %2 = address (text).</extracomment>
        <translation>Resúmenes: %1 en el servidor de modelos en %2</translation>
    </message>
    <message id="ai.error.recognizerMissing">
        <source>On-device recognition is missing or could not be loaded (%1). Reinstalling ScrivelBar should repair it.</source>
        <extracomment>AI error: the module holding the on-device recognizers (text in images, classic speech) is missing or cannot be loaded; %1 = the paths looked at or the system's reason. Arguments: %1 = detail (text).</extracomment>
        <translation>El reconocimiento en el dispositivo falta o no se pudo cargar (%1). Reinstalar ScrivelBar debería repararlo.</translation>
    </message>
    <message id="ai.local.engine.textMissing">
        <source>Text in images: unavailable (the on-device recognizer is missing; reinstall ScrivelBar)</source>
        <extracomment>AI settings: text in images cannot be read because the on-device recognizer is missing or cannot be loaded. Arguments: none.</extracomment>
        <translation>Texto en imágenes: no disponible (falta el reconocedor del dispositivo; reinstale ScrivelBar)</translation>
    </message>
    <message id="ai.local.engine.speechMissing">
        <source>Transcriptions: only with a speech server such as whisper.cpp (the on-device recognizer is missing; reinstall ScrivelBar)</source>
        <extracomment>AI settings: no speech server answers and the on-device speech recognizer is missing or cannot be loaded. Arguments: none.</extracomment>
        <translation>Transcripciones: solo con un servidor de voz como whisper.cpp (falta el reconocedor del dispositivo; reinstale ScrivelBar)</translation>
    </message>
    <message id="ai.local.speechURL">
        <source>Speech server</source>
        <extracomment>AI settings label of the local speech server address field. Arguments: none.</extracomment>
        <translation>Servidor de voz</translation>
    </message>
    <message id="ai.local.modelURL">
        <source>Model server</source>
        <extracomment>AI settings label of the local model server address field. Arguments: none.</extracomment>
        <translation>Servidor de modelos</translation>
    </message>
    <message id="ai.local.model">
        <source>Local model</source>
        <extracomment>AI settings label of the local model name field. Arguments: none.</extracomment>
        <translation>Modelo local</translation>
    </message>
    <message id="ai.local.environment">
        <source>Set by %1 for this session.</source>
        <extracomment>AI settings caption: an environment variable overrides the address for this run; %1 = variable name. Arguments: %1 = variable (text).</extracomment>
        <translation>Definido por %1 en esta sesión.</translation>
    </message>
    <message id="recorder.noInput">
        <source>No microphone is connected.</source>
        <extracomment>Recorder failure detail: the system has no audio input. Arguments: none.</extracomment>
        <translation>No hay ningún micrófono conectado.</translation>
    </message>
    <message id="recorder.noEncoder">
        <source>The AAC encoder for recordings is not installed (GStreamer plugins-bad or libav).</source>
        <extracomment>Recorder failure detail: the encoder is missing. Arguments: none.</extracomment>
        <translation>El codificador AAC para grabaciones no está instalado (GStreamer plugins-bad o libav).</translation>
    </message>
    <message id="recorder.deviceFailed">
        <source>The microphone could not be opened.</source>
        <extracomment>Recorder failure detail: the input device refused to open or broke off. Arguments: none.</extracomment>
        <translation>No se pudo abrir el micrófono.</translation>
    </message>
    <message id="player.problem">
        <source>This recording cannot be played: %1</source>
        <extracomment>Audio block problem text; %1 = the reason. Arguments: %1 = reason (text).</extracomment>
        <translation>No se puede reproducir esta grabación: %1</translation>
    </message>
    <message id="editor.export.pdf.launch">
        <source>pandoc could not be started: %1</source>
        <extracomment>PDF export failure: pandoc did not start; %1 = the reason. Arguments: %1 = reason (text).</extracomment>
        <translation>No se pudo iniciar pandoc: %1</translation>
    </message>
</context>
</TS>
