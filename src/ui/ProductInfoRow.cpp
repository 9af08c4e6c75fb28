#include "ProductInfoRow.h"

#include "ui/TextLine.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>

namespace {

constexpr int labelWidth = 58;
constexpr int horizontalPadding = 10;
constexpr int verticalPadding = 8;
// QLineEdit keeps this much room on each side of its text.
constexpr int fieldTextMargin = 2;
QFont labelFont() { return UiFont::system(11, QFont::DemiBold); }
QFont valueFont() { return UiFont::system(11, QFont::Medium); }

// A read-only line that shows its text cut with an ellipsis while idle, and becomes an ordinary
// selectable line (scrolling through the whole text) while the user selects in it.
class ValueField : public QLineEdit
{
public:
    ValueField(const QString &value, QWidget *parent)
        : QLineEdit(value, parent)
    {
        setReadOnly(true);
        setFrame(false);
        setFont(valueFont());
        // Tab reaches it too, so the keyboard (and a screen reader) can read and copy the value.
        setFocusPolicy(Qt::StrongFocus);
        setContextMenuPolicy(Qt::DefaultContextMenu);
        QPalette transparentBase = palette();
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            transparentBase.setColor(group, QPalette::Base, Qt::transparent);
        setPalette(transparentBase);
        setCursorPosition(0);
    }

    QString elided() const
    {
        return QFontMetrics(font()).elidedText(text(), Qt::ElideRight, width() - 2 * fieldTextMargin);
    }

    QSize sizeHint() const override { return {60, QFontMetrics(font()).height() + 2}; }
    QSize minimumSizeHint() const override { return {24, sizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        if (hasFocus() || hasSelectedText()) {
            QLineEdit::paintEvent(event);
            return;
        }
        QPainter painter(this);
        painter.setFont(font());
        painter.setPen(UiPalette::primaryTextColor(palette()));
        painter.drawText(rect().adjusted(fieldTextMargin, 0, -fieldTextMargin, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         elided());
    }

    void focusOutEvent(QFocusEvent *event) override
    {
        QLineEdit::focusOutEvent(event);
        // Back to the start, so the idle line shows the beginning of the value.
        if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason) {
            deselect();
            setCursorPosition(0);
        }
    }

    void contextMenuEvent(QContextMenuEvent *event) override
    {
        QMenu menu(this);
        QAction *copyAction = menu.addAction(QStringLiteral("复制"), this, &QLineEdit::copy);
        copyAction->setEnabled(hasSelectedText());
        menu.addAction(QStringLiteral("全选"), this, [this] {
            setFocus(Qt::OtherFocusReason);
            selectAll();
        });
        menu.exec(event->globalPos());
    }
};

} // namespace

ProductInfoRow::ProductInfoRow(const QString &label, const QString &value, QWidget *parent)
    : RoundedPanel(Fill::Window, 9, parent)
    , m_label(label)
    , m_field(new ValueField(value, this))
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(horizontalPadding, verticalPadding, horizontalPadding, verticalPadding);
    row->setSpacing(8);
    row->addSpacing(labelWidth);
    row->addWidget(m_field, 1);
    m_field->setAccessibleName(label);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QString ProductInfoRow::displayedValue() const
{
    return static_cast<const ValueField *>(m_field)->elided();
}

QSize ProductInfoRow::sizeHint() const
{
    const int contentHeight = qMax(QFontMetrics(labelFont()).height(), m_field->sizeHint().height());
    return {2 * horizontalPadding + labelWidth + 8 + m_field->sizeHint().width(), 2 * verticalPadding + contentHeight};
}

QSize ProductInfoRow::minimumSizeHint() const
{
    return {2 * horizontalPadding + labelWidth + 8 + m_field->minimumSizeHint().width(), sizeHint().height()};
}

void ProductInfoRow::paintEvent(QPaintEvent *event)
{
    RoundedPanel::paintEvent(event);
    QPainter painter(this);
    TextLine::paint(painter, QRect(horizontalPadding, verticalPadding, labelWidth, height() - 2 * verticalPadding),
                    m_label, labelFont(), UiPalette::secondaryTextColor(palette()));
}
