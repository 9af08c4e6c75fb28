#include "DownloadProgressBar.h"

#include "model/AuthToolModel.h"
#include "ui/TextLine.h"
#include "ui/UiFont.h"
#include "ui/UiPalette.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int barHeight = 4;
constexpr int captionSpacing = 6;
constexpr int sweepFrames = 60;
QFont captionFont() { return UiFont::system(11); }

// Decimal megabytes, as the Finder counts them.
QString megabytes(qint64 bytes)
{
    return QString::number(double(bytes) / 1e6, 'f', 1);
}
} // namespace

DownloadProgressBar::DownloadProgressBar(AuthToolModel *model, QWidget *parent)
    : QProgressBar(parent)
    , m_model(model)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setTextVisible(false);
    m_sweepTimer.setInterval(30);
    connect(&m_sweepTimer, &QTimer::timeout, this, [this] {
        m_sweepPhase = (m_sweepPhase + 1) % sweepFrames;
        update();
    });
    connect(model, &AuthToolModel::downloadBytesReceivedChanged, this, &DownloadProgressBar::sync);
    connect(model, &AuthToolModel::downloadBytesExpectedChanged, this, &DownloadProgressBar::sync);
    sync();
}

QString DownloadProgressBar::captionFor(qint64 received, qint64 expected)
{
    if (expected > 0)
        return QStringLiteral("已下载 ") + megabytes(received) + QStringLiteral(" / ") + megabytes(expected)
               + QStringLiteral(" MB");
    return QStringLiteral("已下载 ") + megabytes(received) + QStringLiteral(" MB");
}

void DownloadProgressBar::sync()
{
    const qint64 received = m_model->downloadBytesReceived();
    const qint64 expected = m_model->downloadBytesExpected();
    // Both are zero exactly while no download runs.
    const bool running = received != 0 || expected != 0;
    if (expected > 0) {
        setRange(0, steps);
        setValue(int(qBound(qint64(0), received * steps / expected, qint64(steps))));
    } else {
        setRange(0, 0);
    }
    m_caption = captionFor(received, expected);
    setAccessibleName(m_caption);
    if (running && isIndeterminate())
        m_sweepTimer.start();
    else
        m_sweepTimer.stop();
    setVisible(running);
    update();
}

QSize DownloadProgressBar::sizeHint() const
{
    const QFontMetrics metrics(captionFont());
    return {metrics.horizontalAdvance(m_caption), barHeight + captionSpacing + metrics.height()};
}

QSize DownloadProgressBar::minimumSizeHint() const
{
    return {0, sizeHint().height()};
}

void DownloadProgressBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track(0, 0, width(), barHeight);
    QPainterPath trackShape;
    trackShape.addRoundedRect(track, barHeight / 2.0, barHeight / 2.0);
    painter.fillPath(trackShape, UiPalette::withOpacity(UiPalette::primaryTextColor(palette()), 0.1));

    QRectF fill;
    if (isIndeterminate()) {
        // A third of the track sweeping from left to right.
        const qreal segment = track.width() / 3;
        const qreal x = (track.width() + segment) * m_sweepPhase / sweepFrames - segment;
        fill = QRectF(x, 0, segment, barHeight).intersected(track);
    } else {
        fill = QRectF(0, 0, track.width() * (value() - minimum()) / qMax(1, maximum() - minimum()), barHeight);
    }
    if (fill.width() > 0) {
        painter.save();
        painter.setClipPath(trackShape);
        QPainterPath fillShape;
        fillShape.addRoundedRect(fill, barHeight / 2.0, barHeight / 2.0);
        painter.fillPath(fillShape, UiPalette::legibleOn(palette(), UiPalette::brandColor()));
        painter.restore();
    }

    TextLine::paint(painter, QRect(0, barHeight + captionSpacing, width(), QFontMetrics(captionFont()).height()),
                    m_caption, captionFont(), UiPalette::secondaryTextColor(palette()));
}
