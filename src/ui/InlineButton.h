#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QTimer>

// The compact rounded button of the pages. Busy shows a spinner and "处理中"; busy or disabled,
// it ignores clicks and is drawn faded. Tab reaches it; Space and Return press it. Busy, it stays
// enabled and keeps the keyboard focus that started the operation (disabling would hand the focus
// to the next control), and only ignores presses.
class InlineButton : public QAbstractButton
{
    Q_OBJECT

public:
    enum class Role { None, Destructive, Cancel };

    explicit InlineButton(const QString &title, QWidget *parent = nullptr);

    QString title() const { return text(); }
    void setTitle(const QString &title);
    bool isBusy() const { return m_busy; }
    void setBusy(bool busy);
    bool isProminent() const { return m_prominent; }
    void setProminent(bool prominent);
    Role role() const { return m_role; }
    void setRole(Role role);
    bool isDisabled() const { return m_disabled; }
    void setDisabled(bool disabled);

    // What the label reads: the title, or "处理中" while busy.
    QString labelText() const;
    qreal opacity() const { return isInert() ? 0.55 : 1.0; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool hitButton(const QPoint &position) const override;

private:
    bool isInert() const { return m_busy || m_disabled; }
    void applyState();
    void syncAccessibleName();
    QColor foregroundColor() const;
    QColor backgroundColor() const;
    QColor borderColor() const;

    bool m_busy = false;
    bool m_prominent = false;
    Role m_role = Role::None;
    bool m_disabled = false;
    int m_spinnerAngle = 0;
    QTimer m_spinnerTimer;
};
