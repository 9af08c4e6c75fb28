#include "core/DescribedError.h"

#include <QTest>

#include <filesystem>
#include <stdexcept>

class tst_DescribedError : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void foreignErrorsReadInChinese();
};

// Library errors speak English; the user sees a sentence of ours.
void tst_DescribedError::foreignErrorsReadInChinese()
{
    QCOMPARE(describeError(DescribedError(QStringLiteral("插件包结构不完整，请重新下载。"))),
             QStringLiteral("插件包结构不完整，请重新下载。"));
    const std::filesystem::filesystem_error tooLong("rename", std::make_error_code(std::errc::filename_too_long));
    QCOMPARE(describeError(tooLong), QStringLiteral("系统错误：文件名或路径过长。"));
    QCOMPARE(describeError(std::bad_alloc()), QStringLiteral("内存不足，请关闭其他程序后重试。"));
    QCOMPARE(describeError(std::runtime_error("EVP_DigestUpdate failed")), QStringLiteral("发生了内部错误，请重试。"));
}

QTEST_GUILESS_MAIN(tst_DescribedError)
#include "tst_describederror.moc"
