#pragma once

#include "ui/media/MediaContext.h"

#include <QImage>
#include <QMouseEvent>
#include <QWidget>

class QLabel;
class QToolButton;

/// An image of a note in the preview: decoded off the main thread (only as large as the
/// panel needs, EXIF orientation applied), drawn to fit the block's width and at most 220 px
/// high with rounded corners. A missing or damaged file shows "editor.attachment.missing".
/// Under the pointer (or while the keyboard is in the block) a row of round buttons offers
/// text recognition (when the AI can), export and remove; the context menu has the same.
class ImageBlockView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int maxHeight = 220;
    static constexpr int cornerRadius = 8;

    ImageBlockView(const QString &path, MediaContext media, QWidget *parent = nullptr);
    ~ImageBlockView() override;

    QString path() const { return m_path; }
    QString file() const { return m_file; }
    /// True once the decode has answered (with a picture or without).
    bool isLoaded() const { return m_loaded; }
    bool isMissing() const { return m_loaded && m_image.isNull(); }
    QImage image() const { return m_image; }
    /// The hover row's buttons, in order.
    QList<QToolButton *> hoverButtons() const { return m_buttons; }
    bool hovering() const { return m_hovering; }
    void setHovering(bool hovering);

    /// Decodes `file` to fit `box` (device pixels), orientation applied; null when the file is
    /// missing or no image. Thread-safe.
    static QImage decode(const QString &file, QSize box);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

Q_SIGNALS:
    void loaded();

protected:
    // A click on a media block is taken by it: it does not switch the editor to editing.
    void mousePressEvent(QMouseEvent *event) override { event->accept(); }
    void mouseReleaseEvent(QMouseEvent *event) override { event->accept(); }
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void requestDecode();
    void applyLook();
    void placeButtons();
    QRect imageRect() const;

    QString m_path;
    MediaContext m_media;
    QString m_file;
    QImage m_image;
    QSize m_sourceSize; ///< the decoded picture's size before scaling (for the aspect ratio)
    int m_decodedFor = 0; ///< the width the picture was decoded for
    bool m_loaded = false;
    bool m_decoding = false;
    bool m_hovering = false;
    QWidget *m_missing = nullptr;
    QLabel *m_missingIcon = nullptr;
    QLabel *m_missingText = nullptr;
    QWidget *m_row = nullptr;
    QList<QToolButton *> m_buttons;
};
