#include "DescribedError.h"

#include "core/Failure.h"
#include "core/LocalFiles.h"

#include <QDebug>

#include <new>
#include <system_error>

DescribedError::DescribedError(QString description)
    : m_description(std::move(description))
    , m_utf8(m_description.toUtf8())
{
}

QString describeError(const std::exception &error)
{
    if (const auto *described = dynamic_cast<const DescribedError *>(&error))
        return described->description();
    if (const auto *failure = dynamic_cast<const Failure *>(&error))
        return failure->sentence();
    // Anything else comes from a library and speaks English: the user gets a sentence of ours,
    // the developer the original text.
    qWarning("Error without a description of its own: %s", error.what());
    if (const auto *system = dynamic_cast<const std::system_error *>(&error)) {
        if (system->code().category() == std::generic_category()
            || system->code().category() == std::system_category())
            return QStringLiteral("系统错误：") + LocalFiles::reasonForErrno(system->code().value())
                + QStringLiteral("。");
    }
    if (dynamic_cast<const std::bad_alloc *>(&error))
        return QStringLiteral("内存不足，请关闭其他程序后重试。");
    return QStringLiteral("发生了内部错误，请重试。");
}

QString describeError(const std::exception_ptr &error)
{
    if (!error)
        return {};
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &caught) {
        return describeError(caught);
    } catch (...) {
        return {};
    }
}
