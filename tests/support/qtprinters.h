#pragma once

#include <ostream>

#include <QString>
#include <QStringList>

// Failure messages show Qt strings as text rather than as arrays of UTF-16 units.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* out)
{
    *out << '{';
    for (const QString& text : list) {
        *out << "\n  ";
        PrintTo(text, out);
    }
    *out << " }";
}
