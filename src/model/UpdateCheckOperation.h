#pragma once

#include "model/Operation.h"

#include <QCoro/QCoroTask>

// The latest release asked of the package source. The user's check reports in the banner and is
// refused offline with a message; the silent one (at start, daily, after installs) only logs its
// failures and is refused silently.
class UpdateCheckOperation : public Operation
{
    Q_OBJECT

public:
    enum class Asker { User, Tool };

    UpdateCheckOperation(AuthToolModel *model, Asker asker);

protected:
    QCoro::Task<OperationOutcome> run() override;

private:
    bool passesOnlineGate() const;

    Asker m_asker;
};
