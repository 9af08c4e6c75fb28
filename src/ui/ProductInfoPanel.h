#pragma once

#include "platform/ToolFiles.h"

#include <QList>
#include <QWidget>

class ProductInfoRow;
class QRCodeCard;
class ResourceImage;

// The vendor's card: logo and name, the contact entries, and four QR codes.
class ProductInfoPanel : public QWidget
{
    Q_OBJECT

public:
    // The wide logo in the bundle's Resources.
    static inline const QString logoName = QStringLiteral("corvanta-logo");
    static constexpr int qrColumns = 4;

    explicit ProductInfoPanel(const QString &dataDir = ToolFiles::dataDir(), QWidget *parent = nullptr);

    ResourceImage *logo() const { return m_logo; }
    const QList<ProductInfoRow *> &rows() const { return m_rows; }
    const QList<QRCodeCard *> &qrCards() const { return m_qrCards; }

private:
    ResourceImage *m_logo;
    QList<ProductInfoRow *> m_rows;
    QList<QRCodeCard *> m_qrCards;
};
