#include "UpdateAvailableBanner.h"

#include "model/AuthToolModel.h"
#include "ui/Accessibility.h"
#include "ui/InlineButton.h"
#include "ui/RoundedPanel.h"
#include "ui/SymbolGlyphs.h"
#include "ui/TextLine.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPainter>

namespace {
constexpr int padding = 14;
constexpr int spacing = 12;
constexpr int lineSpacing = 4;
constexpr qreal symbolPoints = 22;
QFont headlineFont() { return UiFont::system(13, QFont::Bold); }
QFont detailFont() { return UiFont::system(12); }
int symbolSide() { return qCeil(SymbolGlyphs::extent(symbolPoints)); }
} // namespace

UpdateAvailableBanner::UpdateAvailableBanner(AuthToolModel *model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // Symbol and texts are painted; the layout only keeps the button at the trailing edge.
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(padding, padding, padding, padding);
    row->setSpacing(spacing);
    row->addStretch(1);
    m_updateButton = new InlineButton(QStringLiteral("立即更新"), this);
    m_updateButton->setProminent(true);
    row->addWidget(m_updateButton, 0, Qt::AlignVCenter);

    connect(m_updateButton, &InlineButton::clicked, model, [model] { model->installOrRepairPlugin(); });
    connect(model, &AuthToolModel::isInstallingChanged, this, &UpdateAvailableBanner::syncButton);
    connect(model, &AuthToolModel::isOnlineChanged, this, &UpdateAvailableBanner::syncButton);
    syncButton();
}

void UpdateAvailableBanner::syncButton()
{
    m_updateButton->setBusy(m_model->isInstalling());
    m_updateButton->setDisabled(!m_model->isOnline());
}

void UpdateAvailableBanner::setVersions(const QString &latestVersion, const QString &installedVersion)
{
    m_latestVersion = latestVersion;
    m_installedVersion = installedVersion;
    Accessibility::announce(this, headline());
    setAccessibleDescription(detail());
    updateGeometry();
    update();
}

QString UpdateAvailableBanner::headline() const
{
    return QStringLiteral("插件有新版本 ") + m_latestVersion + QStringLiteral(" 可用");
}

QString UpdateAvailableBanner::detail() const
{
    if (m_installedVersion.isNull())
        return QStringLiteral("点击「立即更新」从服务端拉取最新版本。");
    return QStringLiteral("本机当前 ") + m_installedVersion + QStringLiteral("，点击「立即更新」拉取最新版本。");
}

int UpdateAvailableBanner::textBlockHeight() const
{
    return QFontMetrics(headlineFont()).height() + lineSpacing + QFontMetrics(detailFont()).height();
}

QSize UpdateAvailableBanner::sizeHint() const
{
    const int textWidth = qMax(QFontMetrics(headlineFont()).horizontalAdvance(headline()),
                               QFontMetrics(detailFont()).horizontalAdvance(detail()));
    const QSize button = m_updateButton->sizeHint();
    const int content = qMax(qMax(symbolSide(), textBlockHeight()), button.height());
    return {2 * padding + symbolSide() + spacing + textWidth + spacing + button.width(), 2 * padding + content};
}

QSize UpdateAvailableBanner::minimumSizeHint() const
{
    return {2 * padding + symbolSide() + 2 * spacing + m_updateButton->sizeHint().width(), sizeHint().height()};
}

void UpdateAvailableBanner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor orange = UiPalette::orange();
    RoundedPanel::paintFrame(painter, rect(), 12, UiPalette::withOpacity(orange, 0.08),
                             UiPalette::withOpacity(orange, 0.3));

    const int side = symbolSide();
    SymbolGlyphs::draw(painter, QRectF(padding, (height() - side) / 2.0, side, side),
                       QStringLiteral("arrow.up.circle.fill"), symbolPoints, orange);

    const int left = padding + side + spacing;
    const int textWidth = qMax(0, m_updateButton->geometry().left() - spacing - left);
    const int headlineHeight = QFontMetrics(headlineFont()).height();
    const int top = (height() - textBlockHeight()) / 2;
    TextLine::paint(painter, QRect(left, top, textWidth, headlineHeight), headline(), headlineFont(), orange);
    TextLine::paint(painter,
                    QRect(left, top + headlineHeight + lineSpacing, textWidth, QFontMetrics(detailFont()).height()),
                    detail(), detailFont(), UiPalette::secondaryTextColor(palette()));
}
