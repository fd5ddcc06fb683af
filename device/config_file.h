// The configuration file: TOML, one key per field or box, named from the item table and grouped
// by page. Texts are bytes 0 to 255: printable ASCII as itself, every other byte as \u00XX (the
// character of that code), so any text round-trips exactly; boxes and flags are booleans.
#pragma once

#include "core/exceptions.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

class TItemView;

// A configuration file that cannot be used: "FILE:LINE:COLUMN: what is wrong; what was expected".
class EConfigFile : public Exception
{
public:
    using Exception::Exception;
};

struct TConfigRules
{
    // Every key must be given; otherwise the items left out keep their values.
    bool Complete = true;
    // Texts hold only what an exchange can carry whole: no line break, and no longer than a
    // line the import keeps (MaxRxLineLength); the box would store anything else cut or
    // shifted.
    bool Sendable = false;
    // Texts fit their fields. A box itself may hold longer ones (an import stores them whole,
    // the export sends them whole), so a file that stands for a box's own memory may too:
    // without Limited each such text is named among the warnings instead.
    bool Limited = true;
};

// The file for Items; with Explained, each key carries the item's meaning as a comment.
QByteArray FormatConfigFile(const TItemView& Items, bool Explained);

// Stores the file's values into Items. Nothing is stored unless the whole file is good: a
// syntax error, an unknown, missing or repeated key, a wrong type or a text over the item's
// length (with Rules.Limited) raise EConfigFile naming FileName, the line and the column. So
// do a text over MaxConfigFileSize, arrays or tables nested deeper than MaxConfigNesting and
// a key of more than MaxConfigKeyParts dotted parts, before the TOML parser sees the text
// (it recurses once for each, without a limit of its own).
// Returns the warnings, "FILE:LINE:COLUMN: what", for what is used but worth a word: texts
// longer than their fields (without Rules.Limited).
QStringList ParseConfigFile(const QByteArray& Text, const QString& FileName, TItemView& Items,
                            const TConfigRules& Rules = {});

inline constexpr int MaxConfigNesting = 64;
inline constexpr int MaxConfigKeyParts = 64;

// Reads Path ("-" is standard input; only a regular file otherwise, of at most
// MaxConfigFileSize bytes) and parses it. EConfigFile also for a file that cannot be read.
// Files are written with WriteFileSafely (core/file_io.h).
QStringList LoadConfigFile(const QString& Path, TItemView& Items, const TConfigRules& Rules = {});

// Sets one item from "KEY=VALUE" as a user types it on a command line: a text as written, a
// box "true" or "false". The text is held to what its field takes, as typing it would be.
// EConfigFile "KEY=VALUE: what; expected what" for an unknown key or a value the item cannot
// take; Items is unchanged then.
void AssignConfigValue(const QString& Assignment, TItemView& Items);

// The key's value as JSON: a boolean, or a string of the text's characters (byte b as the
// character of code b, as in the file).
QByteArray ConfigValueJson(const QString& Key, const TItemView& Items);
// Every key with its value, in file order, as one JSON object.
QByteArray ConfigJson(const TItemView& Items);
// Text as a JSON string in UTF-8, control characters escaped.
QByteArray JsonText(const QString& Text);

// The keys whose values differ, in file order, with both values as the file writes them.
struct TItemDifference
{
    QString Key;
    QString Left;
    QString Right;
};
std::vector<TItemDifference> CompareItems(const TItemView& Left, const TItemView& Right);
