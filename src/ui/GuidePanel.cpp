#include "GuidePanel.h"

#include "core/VendorInfo.h"
#include "platform/HostPlatform.h"
#include "model/AuthToolModel.h"
#include "ui/ActionRow.h"
#include "ui/DisclosureGroup.h"
#include "ui/GuideNote.h"
#include "ui/GuideStep.h"
#include "ui/InlineButton.h"
#include "ui/PageTitle.h"
#include "ui/ProductInfoPanel.h"

#include <QHBoxLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
constexpr int maximumContentWidth = 920;

QVBoxLayout *column(int spacing)
{
    auto *layout = new QVBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}
} // namespace

GuidePanel::GuidePanel(AuthToolModel *model, const QString &dataDir, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
{
    auto *scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The page's controls take focus from the keyboard; the frame itself is no stop of its own.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->viewport()->setAutoFillBackground(false);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);

    // The canvas spans the viewport; the content keeps to its maximum width at the leading edge.
    auto *canvas = new QWidget;
    canvas->setAutoFillBackground(false);
    auto *canvasRow = new QHBoxLayout(canvas);
    canvasRow->setContentsMargins(0, 0, 0, 0);
    auto *content = new QWidget(canvas);
    content->setMaximumWidth(maximumContentWidth);
    canvasRow->addWidget(content, 1);
    canvasRow->addStretch(0);
    scroll->setWidget(canvas);
    // A scroll bar that takes room would touch the cards' right edges: keep a gap while it shows.
    connect(scroll->verticalScrollBar(), &QScrollBar::rangeChanged, canvas, [canvasRow](int, int maximum) {
        canvasRow->setContentsMargins(0, 0, maximum > 0 ? 10 : 0, 0);
    });

    auto *stack = column(18);
    content->setLayout(stack);
    stack->addWidget(new PageTitle(QStringLiteral("帮助支持"), QStringLiteral("使用步骤、常用入口和商务联系方式。"), content));

    auto *steps = column(10);
    steps->addWidget(new GuideStep(QStringLiteral("1"), QStringLiteral("安装管理器"),
                                   HostPlatform::installStepText(), content));
    steps->addWidget(new GuideStep(QStringLiteral("2"), QStringLiteral("管理本机能力"),
                                   QStringLiteral("在「本机插件」页按需安装、修复或卸载插件。"), content));
    steps->addWidget(new GuideStep(QStringLiteral("3"), QStringLiteral("查看服务支持"),
                                   QStringLiteral("套餐和账单在「服务方案」「账户设置」页，联系方式在本页下方。"), content));
    stack->addLayout(steps);

    stack->addWidget(new GuideNote(QStringLiteral("本地说明"),
                                   HostPlatform::guideLocalNote(),
                                   content));

    struct Shortcut
    {
        QString symbol, title, subtitle, target;
    };
    const QList<Shortcut> shortcuts = {
        {QStringLiteral("sparkles"), QStringLiteral("服务方案"), QStringLiteral("套餐、权益和续费入口"), QStringLiteral("/pricing")},
        {QStringLiteral("message.and.waveform"), QStringLiteral("在线工具"), QStringLiteral("Corvanta 分组对话"),
         QStringLiteral("/grouping-chat")},
        {QStringLiteral("building.2"), companyShortName + QStringLiteral("官网"), QStringLiteral("公司介绍与产品矩阵"),
         companyWebsite},
    };
    auto *rows = column(10);
    for (const Shortcut &shortcut : shortcuts) {
        auto *open = new InlineButton(QStringLiteral("打开"));
        connect(open, &InlineButton::clicked, this, [this, target = shortcut.target] { m_model->openOnlinePath(target); });
        m_shortcutButtons.append(open);
        rows->addWidget(new ActionRow(shortcut.symbol, shortcut.title, shortcut.subtitle, open, content));
    }
    stack->addLayout(rows);

    m_contactSection = new DisclosureGroup(QStringLiteral("qrcode"), QStringLiteral("商务联系与二维码"),
                                           new ProductInfoPanel(dataDir), content);
    stack->addWidget(m_contactSection);
    stack->addStretch(1);

    followConnectivity(m_model->isOnline());
    connect(m_model, &AuthToolModel::isOnlineChanged, this, &GuidePanel::followConnectivity);
}

void GuidePanel::followConnectivity(bool online)
{
    for (InlineButton *button : std::as_const(m_shortcutButtons))
        button->setDisabled(!online);
}

void GuidePanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Shown anew (not merely un-minimised): the contact card starts folded again.
    if (!event->spontaneous())
        m_contactSection->setExpanded(false);
}
