#pragma once

#include "store/Note.h"
#include "ui/media/MediaContext.h"

class QMenu;
class QWidget;

/// The context menu of an image or audio block: the AI entry when offered, export, reveal,
/// and remove (destructive).
namespace MediaMenu {

/// Fills `menu` for the media at `path`.
void fill(QMenu *menu, const QString &path, Attachment::Kind kind, const MediaContext &media);
/// A new menu (parented to `parent`) filled for the media, deleted when closed.
QMenu *create(QWidget *parent, const QString &path, Attachment::Kind kind,
              const MediaContext &media);

} // namespace MediaMenu
