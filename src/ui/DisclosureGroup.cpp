#include "DisclosureGroup.h"

#include "ui/FocusRing.h"
#include "ui/SymbolGlyphs.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

constexpr int chevronSide = 12;
constexpr int labelSpacing = 6;
constexpr qreal symbolPoints = 13;
QFont titleFont() { return UiFont::system(13, QFont::Bold); }

// The heading row: a chevron that turns down when open, then the symbol and the title.
class DisclosureHeader : public QAbstractButton
{
public:
    DisclosureHeader(const QString &symbol, const QString &title, QWidget *parent)
        : QAbstractButton(parent)
        , m_symbol(symbol)
    {
        setText(title);
        setCheckable(true);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setAccessibleName(title);
    }

    QSize sizeHint() const override
    {
        const QFontMetrics metrics(titleFont());
        const int symbol = qCeil(SymbolGlyphs::extent(symbolPoints));
        return {chevronSide + labelSpacing + symbol + labelSpacing + metrics.horizontalAdvance(text()),
                qMax(metrics.height(), symbol) + 4};
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor foreground = UiPalette::primaryTextColor(palette());

        // Chevron: pointing right while closed, down while open.
        const QPointF centre(chevronSide / 2.0, height() / 2.0);
        QPainterPath chevron;
        if (isChecked()) {
            chevron.moveTo(centre + QPointF(-4, -2));
            chevron.lineTo(centre + QPointF(0, 2));
            chevron.lineTo(centre + QPointF(4, -2));
        } else {
            chevron.moveTo(centre + QPointF(-2, -4));
            chevron.lineTo(centre + QPointF(2, 0));
            chevron.lineTo(centre + QPointF(-2, 4));
        }
        painter.setPen(QPen(UiPalette::secondaryTextColor(palette()), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(chevron);

        const qreal symbol = SymbolGlyphs::extent(symbolPoints);
        qreal x = chevronSide + labelSpacing;
        SymbolGlyphs::draw(painter, QRectF(x, (height() - symbol) / 2, symbol, symbol), m_symbol, symbolPoints, foreground);
        x += symbol + labelSpacing;
        painter.setFont(titleFont());
        painter.setPen(foreground);
        painter.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, text());

        if (FocusRing::shows(this))
            FocusRing::draw(painter, rect(), 5, palette());
    }

private:
    QString m_symbol;
};

} // namespace

DisclosureGroup::DisclosureGroup(const QString &symbol, const QString &title, QWidget *content, QWidget *parent)
    : RoundedPanel(Fill::SoftPanel, 12, parent)
    , m_header(new DisclosureHeader(symbol, title, this))
    , m_content(content)
    , m_body(new QWidget(this))
{
    auto *stack = new QVBoxLayout(this);
    stack->setContentsMargins(14, 14, 14, 14);
    stack->setSpacing(0);
    stack->addWidget(m_header);
    auto *bodyStack = new QVBoxLayout(m_body);
    bodyStack->setContentsMargins(0, 8, 0, 0);
    bodyStack->setSpacing(0);
    bodyStack->addWidget(content);
    stack->addWidget(m_body);
    m_body->setVisible(false);
    connect(m_header, &QAbstractButton::toggled, this, [this](bool expanded) {
        m_body->setVisible(expanded);
        Q_EMIT expandedChanged(expanded);
    });
}

bool DisclosureGroup::isExpanded() const
{
    return m_header->isChecked();
}

void DisclosureGroup::setExpanded(bool expanded)
{
    m_header->setChecked(expanded);
}
