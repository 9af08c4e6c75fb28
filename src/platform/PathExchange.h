#pragma once

#include <QString>

// Swapping two existing entries of one file system in a single step, so that whoever looks finds
// each name holding a complete entry at every moment.
namespace PathExchange {

// 0 on success, otherwise the errno value; EINVAL, ENOTSUP or ENOSYS when the file system or the
// system cannot exchange.
int exchange(const QString &first, const QString &second);

} // namespace PathExchange
