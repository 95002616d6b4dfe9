#include "ui/account/AccountPart.h"

#include "ui/account/AccountControls.h"
#include "ui/style/Icons.h"
#include "ui/style/ScreenStyle.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace AccountControls;

AccountPart::AccountPart(QWidget *parent, int spacing)
    : QWidget(parent)
{
    m_column = new QVBoxLayout(this);
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->setSpacing(spacing);
    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(0);
    connect(m_refreshTimer, &QTimer::timeout, this, &AccountPart::refresh);
}

AccountPart::~AccountPart() = default;

void AccountPart::finishBuilding()
{
    setTexts();
    applyLook();
    refresh();
}

void AccountPart::refresh()
{
    m_refreshTimer->stop();
    render();
}

void AccountPart::scheduleRefresh()
{
    m_refreshTimer->start();
}

void AccountPart::retranslate()
{
    setTexts();
    refresh();
}

void AccountPart::setTexts()
{
    for (const auto &[widget, text] : std::as_const(m_texts)) {
        if (!widget)
            continue;
        const QString value = text();
        if (auto *textLabel = qobject_cast<QLabel *>(widget.data())) {
            textLabel->setText(value);
        } else if (auto *toggle = dynamic_cast<Switch *>(widget.data())) {
            ScreenStyle::describe(toggle, value); // its row's label shows the text
        } else if (auto *press = qobject_cast<QAbstractButton *>(widget.data())) {
            press->setText(value);
            ScreenStyle::describe(press, value);
        }
    }
    translate();
}

void AccountPart::applyLook()
{
    const QPalette pal = palette();
    for (QLabel *caption : std::as_const(m_captions))
        setTextColor(caption, ScreenStyle::secondary(pal));
    QFont headline = font();
    headline.setWeight(QFont::DemiBold);
    for (QLabel *heading : std::as_const(m_titles))
        heading->setFont(headline);
    for (QPushButton *press : std::as_const(m_symbolButtons))
        press->setIcon(Icons::icon(press->property("scrivelSymbol").toString(), pal));
    restyle();
}

void AccountPart::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::PaletteChange:
        applyLook();
        refresh();
        break;
    case QEvent::LanguageChange:
        retranslate();
        break;
    default:
        break;
    }
}

QLabel *AccountPart::addTitle(std::function<QString()> title, std::function<QString()> subtitle,
                              QLabel **icon)
{
    auto *titleRow = new QHBoxLayout;
    titleRow->setSpacing(6);
    if (icon) {
        *icon = pictureLabel(this, 16);
        titleRow->addWidget(*icon);
    }
    QLabel *heading = label(this, std::move(title));
    m_titles.append(heading);
    titleRow->addWidget(heading, 1);
    m_column->addLayout(titleRow);
    if (!subtitle)
        return nullptr;
    QLabel *sub = label(this, std::move(subtitle), true);
    m_column->addWidget(sub);
    m_column->addSpacing(2);
    return sub;
}

QLabel *AccountPart::label(QWidget *parent, std::function<QString()> text, bool caption)
{
    auto *result = new QLabel(parent);
    result->setWordWrap(true);
    result->setTextFormat(Qt::PlainText);
    if (text)
        m_texts.append({ result, std::move(text) });
    if (caption) {
        result->setFont(ScreenStyle::captionFont(font()));
        m_captions.append(result);
    }
    return result;
}

QPushButton *AccountPart::button(QWidget *parent, std::function<QString()> text,
                                 const QString &symbol)
{
    auto *result = new QPushButton(parent);
    result->setAutoDefault(false);
    if (!symbol.isEmpty()) {
        result->setIcon(Icons::icon(symbol, palette()));
        result->setIconSize(QSize(16, 16));
        result->setProperty("scrivelSymbol", symbol);
        m_symbolButtons.append(result);
    }
    m_texts.append({ result, std::move(text) });
    return result;
}

QWidget *AccountPart::switchRow(QWidget *parent, std::function<QString()> text, const QString &name,
                                QAbstractButton **toggle)
{
    auto *control = new Switch(parent);
    control->setObjectName(name);
    m_texts.append({ control, text });
    QLabel *caption = label(parent, std::move(text));
    auto *row = new SwitchRow(parent, caption, control);
    *toggle = control;
    return row;
}

QHBoxLayout *AccountPart::pickerRow(QWidget *parent, std::function<QString()> text, QWidget *picker)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(label(parent, std::move(text)), 1);
    row->addWidget(picker, 0, Qt::AlignVCenter);
    return row;
}

QWidget *AccountPart::flow(QWidget *parent, std::initializer_list<QWidget *> widgets)
{
    auto *holder = new QWidget(parent);
    auto *layout = new FlowLayout(holder);
    for (QWidget *widget : widgets) {
        widget->setParent(holder);
        layout->addWidget(widget);
    }
    return holder;
}
