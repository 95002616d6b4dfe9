#include "ui/style/ScreenStyle.h"

#include "ui/shell/Dialogs.h"

#include <QAbstractButton>
#include <QHash>
#include <QIcon>
#include <QImageReader>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QToolButton>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace ScreenStyle {

QColor secondary(const QPalette &palette)
{
    return palette.color(QPalette::PlaceholderText);
}

QColor tertiary(const QPalette &palette)
{
    const QColor a = palette.color(QPalette::WindowText);
    const QColor b = palette.color(QPalette::Window);
    return QColor::fromRgbF((a.redF() + b.redF()) / 2, (a.greenF() + b.greenF()) / 2,
                            (a.blueF() + b.blueF()) / 2);
}

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

QColor opaque(const QColor &color, const QColor &background)
{
    const float alpha = color.alphaF();
    const auto mix = [alpha](float top, float bottom) {
        return top * alpha + bottom * (1 - alpha);
    };
    return QColor::fromRgbF(mix(color.redF(), background.redF()),
                            mix(color.greenF(), background.greenF()),
                            mix(color.blueF(), background.blueF()));
}

QColor secondaryOnWindow(const QPalette &palette)
{
    return opaque(secondary(palette), palette.color(QPalette::Window));
}

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

namespace {

double relativeLuminance(const QColor &color)
{
    const auto channel = [](float value) {
        const double c = value;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = color.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF())
        + 0.0722 * channel(rgb.blueF());
}

// `color` moved away from the backgrounds' lightness, keeping its hue, until text in it is
// legible on each of them. Themes choose their own window colours, so a fixed tone that reads
// well on one light grey can fail on another.
QColor legible(QColor color, bool dark, std::initializer_list<QColor> backgrounds)
{
    const auto worst = [&](const QColor &candidate) {
        double least = 21;
        for (const QColor &background : backgrounds)
            least = std::min(least, contrastRatio(candidate, background));
        return least;
    };
    for (int step = 0; step < 24 && worst(color) < minimumTextContrast; ++step)
        color = dark ? color.lighter(108) : color.darker(108);
    return color;
}

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor orange(const QPalette &palette)
{
    const bool dark = isDark(palette);
    return legible(dark ? QColor(255, 159, 10) : QColor(168, 84, 0), dark,
                   { palette.color(QPalette::Window) });
}

QColor red(const QPalette &palette)
{
    const bool dark = isDark(palette);
    // Menus draw on the base colour in some styles and on the window colour in others.
    return legible(dark ? QColor(255, 123, 114) : QColor(192, 28, 40), dark,
                   { palette.color(QPalette::Window), palette.color(QPalette::Base) });
}

QFont captionFont(const QFont &base)
{
    QFont font = base;
    if (font.pointSizeF() > 0)
        font.setPointSizeF(std::max(6.0, font.pointSizeF() - 2));
    else if (font.pixelSize() > 0)
        font.setPixelSize(std::max(8, font.pixelSize() - 2));
    return font;
}

QString glyph(const QString &symbol)
{
    // Stand-ins used only while the icon set lacks a symbol.
    static const QHash<QString, QString> glyphs {
        { QStringLiteral("chevron.left"), QStringLiteral("‹") },
        { QStringLiteral("xmark.circle.fill"), QStringLiteral("✕") },
        { QStringLiteral("xmark"), QStringLiteral("✕") },
        { QStringLiteral("square.and.pencil"), QStringLiteral("✎") },
        { QStringLiteral("photo"), QStringLiteral("▣") },
        { QStringLiteral("mic"), QStringLiteral("●") },
        { QStringLiteral("line.3.horizontal.decrease.circle"), QStringLiteral("≡") },
        { QStringLiteral("line.3.horizontal.decrease.circle.fill"), QStringLiteral("≣") },
        { QStringLiteral("trash.slash"), QStringLiteral("⌫") },
        { QStringLiteral("trash"), QStringLiteral("⌫") },
        { QStringLiteral("magnifyingglass"), QStringLiteral("⌕") },
        { QStringLiteral("square"), QStringLiteral("☐") },
        { QStringLiteral("checkmark.square.fill"), QStringLiteral("☑") },
        { QStringLiteral("sparkles"), QStringLiteral("✦") },
        { QStringLiteral("doc.on.doc"), QStringLiteral("⧉") },
        { QStringLiteral("square.and.arrow.up"), QStringLiteral("⇪") },
        { QStringLiteral("ellipsis.circle"), QStringLiteral("⋯") },
        { QStringLiteral("exclamationmark.triangle.fill"), QStringLiteral("⚠") },
        { QStringLiteral("waveform"), QStringLiteral("∿") },
        { QStringLiteral("note.text"), QStringLiteral("≣") },
        { QStringLiteral("doc.text"), QStringLiteral("≣") },
    };
    return glyphs.value(symbol);
}

void describe(QWidget *widget, const QString &text)
{
    widget->setToolTip(text);
    widget->setAccessibleName(text);
}

void setSymbol(QAbstractButton *button, const QString &symbol, Icons::Tint tint)
{
    const QIcon icon = Icons::icon(symbol, button->palette(), tint);
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
    button->setText(icon.isNull() ? glyph(symbol) : QString());
}

void setupButton(QAbstractButton *button, const QString &symbol, const QString &text,
                 Icons::Tint tint)
{
    setSymbol(button, symbol, tint);
    describe(button, text);
    button->setProperty("scrivelSymbol", symbol);
}

QPixmap symbolPixmap(const QString &symbol, const QPalette &palette, Icons::Tint tint, int size,
                     qreal devicePixelRatio)
{
    const QIcon icon = Icons::icon(symbol, palette, tint);
    if (icon.isNull())
        return {};
    QPixmap pixmap = icon.pixmap(QSize(size, size), devicePixelRatio);
    return pixmap;
}

void holdPanelWhileOpen(QMenu *menu, Dialogs *dialogs)
{
    if (!menu || !dialogs)
        return;
    QPointer<Dialogs> target(dialogs);
    auto holding = std::make_shared<bool>(false);
    QObject::connect(menu, &QMenu::aboutToShow, menu, [target, holding] {
        if (target && !*holding) {
            *holding = true;
            Q_EMIT target->holdPanel();
        }
    });
    QObject::connect(menu, &QMenu::aboutToHide, menu, [target, holding] {
        if (target && *holding) {
            *holding = false;
            Q_EMIT target->releasePanel();
        }
    });
}

QToolButton *toolButton(QWidget *parent, const QString &symbol, const QString &text)
{
    auto *button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::TabFocus);
    setupButton(button, symbol, text);
    return button;
}

QString imageFilePatterns()
{
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format).toLower();
    patterns.removeDuplicates();
    return patterns.join(u' ');
}

} // namespace ScreenStyle
