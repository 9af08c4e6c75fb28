#include "PathExchange.h"

#include <QFile>

#include <cerrno>
#include <cstdio>

#ifdef Q_OS_MACOS
#include <sys/stdio.h>
#else
#include <fcntl.h>
#endif

namespace PathExchange {

int exchange(const QString &first, const QString &second)
{
    const QByteArray a = QFile::encodeName(first);
    const QByteArray b = QFile::encodeName(second);
#ifdef Q_OS_MACOS
    const int result = ::renamex_np(a.constData(), b.constData(), RENAME_SWAP);
#else
    const int result = ::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_EXCHANGE);
#endif
    return result == 0 ? 0 : errno;
}

} // namespace PathExchange
