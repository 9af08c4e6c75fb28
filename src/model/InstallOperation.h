#pragma once

#include "model/Operation.h"

#include <QCoro/QCoroTask>

// Install, update or repair from the package source the policy names, or repair from the newest
// package of the local cache; either way through the installer script (see InstallFlow).
class InstallOperation : public Operation
{
    Q_OBJECT

public:
    enum class Origin { Service, Cache };

    InstallOperation(AuthToolModel *model, Origin origin);

protected:
    QCoro::Task<OperationOutcome> run() override;

private:
    QCoro::Task<> installFromService();
    QCoro::Task<> installFromCache();

    Origin m_origin;
};
