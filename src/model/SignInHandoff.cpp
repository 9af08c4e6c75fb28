#include "SignInHandoff.h"

#include "core/Failure.h"
#include "model/AuthToolModel.h"
#include "plugin/SignInSession.h"

SignInHandoff::SignInHandoff(AuthToolModel *model, QUrl address, QUrl fromPage)
    : Operation(model)
    , m_address(std::move(address))
    , m_fromPage(std::move(fromPage))
{
}

QCoro::Task<OperationOutcome> SignInHandoff::run()
{
    const QPointer<AuthToolModel> model = m_model;
    const SignInSession session(model->credentialStore(), model->webURL(QStringLiteral("/")));
    SignInSession::Outcome outcome = SignInSession::Outcome::Ignored;
    std::exception_ptr error;
    try {
        outcome = co_await session.accept(m_address, m_fromPage);
    } catch (const std::exception &) {
        error = std::current_exception();
    }
    if (!model)
        co_return OperationOutcome::cancelled();
    OperationRunner &runner = model->runner();
    if (error) {
        const QString failure = QStringLiteral("登录失败：") + describeError(error);
        runner.showOperation(failure, OperationTone::Error);
        runner.appendLog(failure);
        co_return OperationOutcome::failed(error);
    }
    if (outcome == SignInSession::Outcome::SignedIn) {
        runner.showOperation(QStringLiteral("已登录 Corvanta 账户。"), OperationTone::Success);
        runner.appendLog(QStringLiteral("已登录 Corvanta 账户"));
    } else if (outcome == SignInSession::Outcome::SignedOut) {
        Q_EMIT model->accountSignedOut();
        runner.showOperation(QStringLiteral("已退出 Corvanta 账户。"), OperationTone::Success);
        runner.appendLog(QStringLiteral("已退出 Corvanta 账户"));
    }
    co_return OperationOutcome::done();
}
