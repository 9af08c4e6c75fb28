#pragma once

#include "app/CommandLine.h"
#include "model/OperationOutcome.h"

#include <QCoro/QCoroTask>
#include <QObject>

#include <functional>

class AuthToolModel;
struct StatusReport;

// Runs one command on the model without a window. The banner's messages go to standard error as
// they appear, with a download progress line redrawn in place when that is a terminal; the status
// report, the usage and the version go to standard output.
class CommandLineRunner : public QObject
{
    Q_OBJECT

public:
    // The whole process of a command: a core application (no display needed), no single-instance
    // channel; returns the exit code.
    static int exec(int argc, char *argv[]);

    explicit CommandLineRunner(AuthToolModel *model, QObject *parent = nullptr);
    ~CommandLineRunner() override;

    QCoro::Task<int> run(CommandLine::Invocation invocation);

private:
    QCoro::Task<> awaitFirstConnectivityReport();
    QCoro::Task<int> status(bool json, bool queryLatest);
    QCoro::Task<int> check();
    QCoro::Task<int> mirror(QString folder, QString version);
    // An install, repair or uninstall: its exit code from how the model's operation ended.
    QCoro::Task<int> change(std::function<QCoro::Task<OperationOutcome>()> operation);
    void showMessage(const QString &message);
    void showProgress();
    void clearProgress();

    AuthToolModel *m_model;
    bool m_connectivityReported = false;
    bool m_progressOnTerminal = false;
    // The progress line on the terminal; empty when none is shown.
    QString m_progressLine;
};
