#pragma once

#include "model/Operation.h"

#include <QCoro/QCoroTask>

// The add-in taken out of WPS after the user's confirmation (see UninstallFlow); the file work runs
// on the pool.
class UninstallOperation : public Operation
{
    Q_OBJECT

public:
    explicit UninstallOperation(AuthToolModel *model);

protected:
    QCoro::Task<OperationOutcome> run() override;

private:
    QCoro::Task<> removeFromWps();
};
