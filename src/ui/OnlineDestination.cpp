#include "OnlineDestination.h"

namespace {
OnlineDestination entry(const char *title, const char *symbol, const char *path, const char *detail)
{
    return {QUuid::createUuid(), QString::fromUtf8(title), QString::fromUtf8(symbol), QString::fromUtf8(path),
            QString::fromUtf8(detail)};
}
} // namespace

QList<OnlineDestination> OnlineDestination::servicePlanEntries()
{
    return {entry("服务方案", "sparkles", "/pricing", "查看可购买套餐、权益和续费方案。")};
}

QList<OnlineDestination> OnlineDestination::accountEntries()
{
    return {
        entry("账单与权益", "creditcard", "/settings/billing", "当前订阅、权益和续费。"),
        entry("支付记录", "dollarsign.circle", "/settings/payments", "已支付订单和发票入口。"),
        entry("积分记录", "circle.hexagongrid", "/settings/credits", "充值、消耗和剩余额度。"),
        entry("API Key", "key", "/settings/apikeys", "管理 API 密钥。"),
        entry("AI 设置", "sparkles", "/settings/ai-config", "模型和 AI 偏好。"),
    };
}
