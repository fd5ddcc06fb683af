// Test support: GoogleTest prints Qt texts as text.
#pragma once

#include <QString>
#include <QStringList>
#include <ostream>

inline void PrintTo(const QString& Text, std::ostream* Out)
{
    *Out << '"' << Text.toStdString() << '"';
}
inline void PrintTo(const QStringList& List, std::ostream* Out)
{
    *Out << '{';
    for (const QString& Text : List)
        *Out << " \"" << Text.toStdString() << '"';
    *Out << " }";
}
