#pragma once

#include <QProgressBar>
#include <QTimer>

class AuthToolModel;

// A slim bar with a short line under it ("已下载 12.3 / 64.0 MB") that follows the model's running
// archive download: determinate while the size is known, sweeping while it is not, hidden when no
// download runs.
class DownloadProgressBar : public QProgressBar
{
    Q_OBJECT

public:
    static constexpr int steps = 1000;

    explicit DownloadProgressBar(AuthToolModel *model, QWidget *parent = nullptr);

    bool isIndeterminate() const { return maximum() == 0; }
    QString caption() const { return m_caption; }
    // The line under the bar for the bytes received of those expected (-1: size unknown).
    static QString captionFor(qint64 received, qint64 expected);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    QString text() const override { return m_caption; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void sync();

    AuthToolModel *m_model;
    QString m_caption;
    QTimer m_sweepTimer;
    int m_sweepPhase = 0;
};
