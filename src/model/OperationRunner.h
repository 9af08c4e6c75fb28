#pragma once

#include "core/OperationTone.h"
#include "model/OperationOutcome.h"
#include "plugin/PackagePipeline.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>

#include <functional>

// What every operation shares: the busy flags, the online and WPS gates, the banner with its
// clearing timer, the activity log and the download progress. One runner per model; operations
// report through it and the model publishes what it holds.
class OperationRunner : public QObject
{
    Q_OBJECT

public:
    // How long an info or success message stays before it clears itself.
    static constexpr int messageClearDelayMs = 4000;

    enum class BusyFlag { Installing, Uninstalling };

    // One long operation: busy flag tested and set with no suspension in between and reset on every
    // way out; the WPS gate after the flag test; progress message and start line; work; a thrown
    // error becomes failurePrefix + its description in the banner (error tone) and in the log.
    struct Steps
    {
        BusyFlag flag;
        // The operation as the WPS gate names it in its refusal.
        QString wpsGateAction;
        // Asked after the flag is set (a dialog's event loop must not let a second start through);
        // false ends the operation without a message.
        std::function<bool()> confirm = {};
        QString progressMessage;
        QString startLogLine;
        QString failurePrefix;
        std::function<QCoro::Task<>()> work;
    };

    explicit OperationRunner(QObject *parent = nullptr);

    bool isBusy(BusyFlag flag) const { return flag == BusyFlag::Installing ? m_isInstalling : m_isUninstalling; }
    QString operationMessage() const { return m_operationMessage; }
    OperationTone operationTone() const { return m_operationTone; }
    quint64 operationToken() const { return m_operationToken; }
    qint64 downloadBytesReceived() const { return m_downloadBytesReceived; }
    qint64 downloadBytesExpected() const { return m_downloadBytesExpected; }

    QCoro::Task<OperationOutcome> run(Steps steps);

    void showOperation(const QString &message, OperationTone tone);
    void appendLog(const QString &message);
    // The online gate: true when online; otherwise shows and logs the refusal of the action (a
    // short verb phrase such as "检查更新") and returns false.
    bool requireOnline(bool online, const QString &action);
    // The WPS gate: true when WPS is not running; otherwise shows and logs the refusal of the action.
    bool requireWpsClosed(const QString &action);
    // Log lines and download progress of a package pipeline, reported here while the runner lives.
    PackagePipeline::Handlers pipelineHandlers();

Q_SIGNALS:
    void isInstallingChanged(bool value);
    void isUninstallingChanged(bool value);
    void operationMessageChanged(const QString &message);
    void operationToneChanged(OperationTone tone);
    void downloadBytesReceivedChanged(qint64 bytes);
    void downloadBytesExpectedChanged(qint64 bytes);

private:
    void setBusy(BusyFlag flag, bool busy);
    void setOperationMessage(const QString &message);
    void setDownloadProgress(qint64 received, qint64 expected);

    bool m_isInstalling = false;
    bool m_isUninstalling = false;
    QString m_operationMessage;
    OperationTone m_operationTone = OperationTone::Info;
    quint64 m_operationToken = 0;
    qint64 m_downloadBytesReceived = 0;
    qint64 m_downloadBytesExpected = 0;
};
