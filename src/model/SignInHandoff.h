#pragma once

#include "model/Operation.h"

#include <QCoro/QCoroTask>
#include <QUrl>

// The vendor's site, shown in the tool, navigated to an address of the tool's own scheme to hand
// over a sign-in or sign-out (see SignInSession): the credential stored or cleared, and the banner.
class SignInHandoff : public Operation
{
    Q_OBJECT

public:
    SignInHandoff(AuthToolModel *model, QUrl address, QUrl fromPage);

protected:
    QCoro::Task<OperationOutcome> run() override;

private:
    QUrl m_address;
    QUrl m_fromPage;
};
