#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// Base of every error the tool throws: its description is the complete sentence the user sees.
class DescribedError : public std::exception
{
public:
    explicit DescribedError(QString description);

    const QString &description() const noexcept { return m_description; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_description;
    QByteArray m_utf8;
};

// The sentence to show for any thrown error: the description of ours, a sentence of ours in place
// of the (English) text of any other.
QString describeError(const std::exception &error);
// The same for a caught error; empty for none and for one that is no std::exception.
QString describeError(const std::exception_ptr &error);
