#pragma once

#include <stdexcept>

#include <QString>

// A file that could not be read or written; the text is what the user is shown.
class FileError final : public std::runtime_error
{
public:
    explicit FileError(const QString& message)
        : std::runtime_error(message.toStdString())
        , Message(message)
    {}

    static FileError CannotOpen(const QString& path)
    {
        return FileError(QStringLiteral("Cannot open file %1").arg(path));
    }
    static FileError CannotCreate(const QString& path)
    {
        return FileError(QStringLiteral("Cannot create file %1").arg(path));
    }

    QString Message;
};
