#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// A statement that cannot be carried out throws a Failure. Its description is
// what the error report shows the user, so it is written for people: what
// failed and, where known, why.
class Failure : public std::exception
{
public:
    explicit Failure(QString description);

    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    QString m_description;
    QByteArray m_what;
};

// The description of the exception in flight, whatever its type. Only valid
// inside a catch block.
QString describeCurrentException();
