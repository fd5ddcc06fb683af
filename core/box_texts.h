// The texts of the program's boxes as the user reads them, for the window's boxes and for
// programs that print them instead.
#pragma once

#include <QString>
#include <exception>

// The error box's text: a "." is appended when the last character's code is above that of ".".
QString ErrorBoxText(const QString& Message);

// An exception as the error box shows it: ErrorBoxText of its message, then its reason, if it
// has one, on a line of its own.
QString ErrorReportText(const std::exception& E);

// Line breaks of any kind (\n, \r, \r\n, \n\r) become single breaks.
QString NoticeBoxText(const QString& Text);
