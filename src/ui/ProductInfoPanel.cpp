#include "ProductInfoPanel.h"

#include "core/VendorInfo.h"
#include "ui/ProductInfoRow.h"
#include "ui/QRCodeCard.h"
#include "ui/ResourceImage.h"
#include "ui/TextBlock.h"
#include "ui/UiFont.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

// Columns of equal width, whatever their content asks for.
void equalColumns(QGridLayout *grid, int columns)
{
    for (int column = 0; column < columns; ++column) {
        grid->setColumnStretch(column, 1);
        grid->setColumnMinimumWidth(column, 0);
    }
}

} // namespace

ProductInfoPanel::ProductInfoPanel(const QString &dataDir, QWidget *parent)
    : QWidget(parent)
    , m_logo(new ResourceImage(logoName, QStringLiteral("png"), QStringLiteral("leaf"), dataDir, this))
{
    auto *stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(14);

    auto *header = new QHBoxLayout;
    header->setSpacing(14);
    m_logo->setFixedSize(138, 42);
    header->addWidget(m_logo, 0, Qt::AlignVCenter);
    header->addWidget(new TextBlock(companyName, UiFont::system(14, QFont::Bold),
                                    QStringLiteral("DRG/DIP 全栈式数据科技服务商 · AI 赋能医疗数据分析"),
                                    UiFont::system(12), 4, this),
                      1, Qt::AlignVCenter);
    stack->addLayout(header);

    auto *contacts = new QVBoxLayout;
    contacts->setSpacing(8);
    contacts->addWidget(new TextBlock(QStringLiteral("产品与商务信息"), UiFont::system(14, QFont::Bold), {}, {}, 0, this));
    auto *rows = new QGridLayout;
    rows->setSpacing(8);
    const QList<std::pair<QString, QString>> entries = {
        {QStringLiteral("公司官网"), companyWebsite},
        {QStringLiteral("商务微信"), businessWechat},
        {QStringLiteral("联系电话"), businessPhone},
        {QStringLiteral("商务邮箱"), businessEmail},
    };
    for (const auto &[label, value] : entries) {
        auto *row = new ProductInfoRow(label, value, this);
        rows->addWidget(row, int(m_rows.size()) / 2, int(m_rows.size()) % 2);
        m_rows.append(row);
    }
    equalColumns(rows, 2);
    contacts->addLayout(rows);
    stack->addLayout(contacts);

    auto *codes = new QGridLayout;
    codes->setSpacing(10);
    struct Code
    {
        QString title, subtitle, imageName, imageExt;
    };
    const QList<Code> cards = {
        {QStringLiteral("微信小程序"), QStringLiteral("Corvanta"), QStringLiteral("qr-miniprogram"), QStringLiteral("jpg")},
        {QStringLiteral("企业微信"), QStringLiteral("服务支持"), QStringLiteral("qr-wecom"), QStringLiteral("jpeg")},
        {QStringLiteral("商务微信"), businessWechat, QStringLiteral("qr-wechat"), QStringLiteral("png")},
        {QStringLiteral("公众号"), officialAccount, QStringLiteral("qr-official"), QStringLiteral("jpeg")},
    };
    for (const Code &code : cards) {
        auto *card = new QRCodeCard(code.title, code.subtitle, code.imageName, code.imageExt, dataDir, this);
        codes->addWidget(card, int(m_qrCards.size()) / qrColumns, int(m_qrCards.size()) % qrColumns);
        m_qrCards.append(card);
    }
    equalColumns(codes, qrColumns);
    stack->addLayout(codes);
}
