#include "config_file.h"

#include "item_view.h"
#include "items.h"
#include "line_builder.h"
#include "line_bytes.h"

#include "core/file_io.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <optional>
#include <variant>

#include <toml++/toml.h>

namespace {

// One key of the file: a field, a flag or one box of a mask.
struct TEntry
{
    QString Key;
    QString Meaning;
    const TItemDef* Item;
    QString Control;
};

// The keys in file order: by page in tab order; within a page by what they belong to (relay,
// input, telephone number), so each one's keys stand together.
std::vector<TEntry> BuildEntries()
{
    std::vector<TEntry> Entries;
    for (const TItemDef& Item : ItemTable()) {
        const QStringList Keys = ItemKeys(Item), Controls = ItemControls(Item);
        for (qsizetype I = 0; I < Keys.size(); ++I)
            Entries.push_back({Keys[I], ControlMeaning(Item, Controls[I]), &Item, Controls[I]});
    }
    // "relay.3.on" belongs to "relay" number 3; "feedback" to itself.
    QHash<QString, int> FirstSeen;
    for (const TEntry& E : Entries)
        if (const QString Owner = E.Key.section(u'.', 0, 0); !FirstSeen.contains(Owner))
            FirstSeen.insert(Owner, static_cast<int>(FirstSeen.size()));
    auto Group = [&](const TEntry& E) {
        return std::tuple(static_cast<int>(E.Item->Page), FirstSeen.value(E.Key.section(u'.', 0, 0)),
                          E.Key.section(u'.', 1, 1).toInt());
    };
    std::stable_sort(Entries.begin(), Entries.end(),
                     [&](const TEntry& A, const TEntry& B) { return Group(A) < Group(B); });
    return Entries;
}

const std::vector<TEntry>& Entries()
{
    static const std::vector<TEntry> List = BuildEntries();
    return List;
}

const TEntry* FindEntry(const QString& Key)
{
    static const QHash<QString, const TEntry*> ByKey = [] {
        QHash<QString, const TEntry*> Map;
        for (const TEntry& E : Entries())
            Map.insert(E.Key, &E);
        return Map;
    }();
    return ByKey.value(Key);
}

// "relay" and "relay.3": the tables that hold keys.
bool IsKeyPrefix(const QString& Path)
{
    static const QSet<QString> Prefixes = [] {
        QSet<QString> Set;
        for (const TEntry& E : Entries()) {
            const QStringList Parts = E.Key.split(u'.');
            for (qsizetype N = 1; N < Parts.size(); ++N)
                Set.insert(Parts.mid(0, N).join(u'.'));
        }
        return Set;
    }();
    return Prefixes.contains(Path);
}

bool IsBox(const TEntry& E) { return !IsTextKind(E.Item->Kind); }

QString Quote(const QString& Text)
{
    QString Out = QStringLiteral("\"");
    for (const QChar C : Text) {
        const char16_t U = C.unicode();
        if (U == u'"' || U == u'\\')
            Out += QLatin1Char('\\') + C;
        else if (U >= 0x20 && U <= 0x7E)
            Out += C;
        else if (U == u'\t')
            Out += QStringLiteral("\\t");
        else if (U == u'\n')
            Out += QStringLiteral("\\n");
        else if (U == u'\r')
            Out += QStringLiteral("\\r");
        else
            Out += QStringLiteral("\\u") + QStringLiteral("%1").arg(U, 4, 16, QLatin1Char('0')).toUpper();
    }
    return Out + u'"';
}

QString ValueText(const TEntry& E, const TItemView& Items)
{
    if (IsBox(E))
        return Items.ItemChecked(E.Control) ? QStringLiteral("true") : QStringLiteral("false");
    return Quote(Items.ItemText(E.Control));
}

QString Expected(const TEntry& E)
{
    if (IsBox(E))
        return QStringLiteral("true or false");
    return QStringLiteral("a text in double quotes of at most %1 bytes").arg(E.Item->MaxLength);
}

QString TypeName(toml::node_type Type)
{
    switch (Type) {
    case toml::node_type::table: return QStringLiteral("a table");
    case toml::node_type::array: return QStringLiteral("an array");
    case toml::node_type::string: return QStringLiteral("a text");
    case toml::node_type::integer: return QStringLiteral("a number");
    case toml::node_type::floating_point: return QStringLiteral("a number");
    case toml::node_type::boolean: return QStringLiteral("a boolean");
    case toml::node_type::date: return QStringLiteral("a date");
    case toml::node_type::time: return QStringLiteral("a time");
    case toml::node_type::date_time: return QStringLiteral("a date and time");
    case toml::node_type::none: break;
    }
    return QStringLiteral("nothing");
}

class TParser
{
public:
    TParser(const QString& FileName, const TConfigRules& Rules) : FFileName(FileName), FRules(Rules) {}

    [[noreturn]] void Fail(const toml::source_position& At, const QString& What) const
    {
        throw EConfigFile(QStringLiteral("%1:%2:%3: %4").arg(FFileName).arg(At.line).arg(At.column).arg(What));
    }

    void Walk(const toml::table& Table, const QString& Prefix)
    {
        for (auto&& [Key, Node] : Table) {
            const QString Name = QString::fromUtf8(Key.str().data(), static_cast<qsizetype>(Key.str().size()));
            const QString Path = Prefix.isEmpty() ? Name : Prefix + u'.' + Name;
            const TEntry* Entry = Name.contains(u'.') ? nullptr : FindEntry(Path);
            if (Entry)
                Take(*Entry, Node);
            else if (Node.is_table() && !Name.contains(u'.') && IsKeyPrefix(Path))
                Walk(*Node.as_table(), Path);
            else
                Fail(Key.source().begin,
                     QStringLiteral("unknown key \"%1\"; expected an item's key such as relay.1.on "
                                    "(morvel-smsctl defaults writes them all)")
                         .arg(FirstLeaf(Path, Node)));
        }
    }

    // A table that holds no item, named by its first key as written: "relay.13.on", not "relay.13".
    static QString FirstLeaf(QString Path, const toml::node& Node)
    {
        for (const toml::node* At = &Node; At->is_table() && !At->as_table()->empty();) {
            const auto First = At->as_table()->begin();
            Path += u'.' + QString::fromUtf8(First->first.str().data(),
                                             static_cast<qsizetype>(First->first.str().size()));
            At = &First->second;
        }
        return Path;
    }

    void TakeMissing(const toml::source_position& End) const
    {
        if (!FRules.Complete)
            return;
        for (const TEntry& E : Entries())
            if (!FValues.contains(E.Key))
                Fail(End, QStringLiteral("missing key %1; expected %2").arg(E.Key, Expected(E)));
    }

    void Store(TItemView& Items) const
    {
        for (const TEntry& E : Entries()) {
            const auto Value = FValues.constFind(E.Key);
            if (Value == FValues.constEnd())
                continue;
            if (IsBox(E))
                Items.SetItemChecked(E.Control, std::get<bool>(*Value));
            else
                Items.SetItemText(E.Control, std::get<QString>(*Value));
        }
    }

private:
    void Take(const TEntry& E, const toml::node& Node)
    {
        const toml::source_position At = Node.source().begin;
        if (IsBox(E)) {
            if (!Node.is_boolean())
                Fail(At, QStringLiteral("%1 is %2; expected true or false").arg(E.Key, TypeName(Node.type())));
            FValues.insert(E.Key, Node.as_boolean()->get());
            return;
        }
        if (!Node.is_string())
            Fail(At, QStringLiteral("%1 is %2; expected %3").arg(E.Key, TypeName(Node.type()), Expected(E)));
        const std::string& Utf8 = Node.as_string()->get();
        const QString Text = QString::fromUtf8(Utf8.data(), static_cast<qsizetype>(Utf8.size()));
        for (qsizetype I = 0; I < Text.size(); ++I)
            if (!IsLineChar(Text[I]))
                Fail(At, QStringLiteral("%1: %2; expected bytes 0 to 255, each written as itself or "
                                        "as \\u00XX")
                             .arg(E.Key, UnsendableText(Text, I)));
        if (FRules.Limited && Text.size() > E.Item->MaxLength)
            Fail(At, QStringLiteral("%1 is %2 bytes long; expected at most %3")
                         .arg(E.Key)
                         .arg(Text.size())
                         .arg(E.Item->MaxLength));
        if (const qsizetype Bad = FirstUnsendable(Text); FRules.Sendable && Bad >= 0)
            Fail(At, QStringLiteral("%1: %2; expected a text without \\r and \\n")
                         .arg(E.Key, UnsendableText(Text, Bad)));
        // The import keeps no more of a line than this: a longer text would not come back.
        if (FRules.Sendable && Text.size() > MaxRxLineLength)
            Fail(At, QStringLiteral("%1 is %2 bytes long; expected at most %3, the longest line a "
                                    "box's configuration can be read back with")
                         .arg(E.Key)
                         .arg(Text.size())
                         .arg(MaxRxLineLength));
        if (Text.size() > E.Item->MaxLength)
            FWarnings << QStringLiteral("%1:%2:%3: %4 is %5 bytes long, more than the %6 its field "
                                        "takes; it is sent whole, as the box holds it")
                             .arg(FFileName)
                             .arg(At.line)
                             .arg(At.column)
                             .arg(E.Key)
                             .arg(Text.size())
                             .arg(E.Item->MaxLength);
        FValues.insert(E.Key, Text);
    }

public:
    QStringList FWarnings;

private:
    QString FFileName;
    TConfigRules FRules;
    QHash<QString, std::variant<bool, QString>> FValues;
};

// Where a missing key is reported: just past the file's last line.
toml::source_position EndOf(const QByteArray& Text)
{
    return {static_cast<toml::source_index>(Text.count('\n') + 1), 1};
}

// Refuses what would make the TOML parser recurse out of its stack: arrays and inline tables
// nested too deep, keys of too many dotted parts. A lexer of its own, as far as brackets,
// dots, strings and comments go, so a bracket inside a text is a character and not nesting.
class TStructureGuard
{
public:
    explicit TStructureGuard(const TParser& Parser) : FParser(Parser) {}

    void Check(const QByteArray& Text)
    {
        const char* P = Text.constData();
        const char* const End = P + Text.size();
        while (P < End) {
            const char C = *P;
            if (C == '#') {
                while (P < End && *P != '\n')
                    Step(P);
            } else if (C == '"' || C == '\'') {
                SkipString(P, End);
            } else {
                if (C == '[' || C == '{') {
                    if (++FDepth > MaxConfigNesting)
                        FParser.Fail(Here(), QStringLiteral("arrays or tables nested more than %1 deep; "
                                                            "expected the flat file morvel-smsctl writes")
                                                 .arg(MaxConfigNesting));
                } else if (C == ']' || C == '}') {
                    FDepth = std::max(FDepth - 1, 0);
                } else if (C == '.') {
                    if (++FDots >= MaxConfigKeyParts)
                        FParser.Fail(Here(), QStringLiteral("a key of more than %1 dotted parts; expected "
                                                            "an item's key such as relay.1.on")
                                                 .arg(MaxConfigKeyParts));
                }
                // A key ends where its value or the next key begins.
                if (C == '=' || C == ',' || C == '\n' || C == '[' || C == '{' || C == ']' || C == '}')
                    FDots = 0;
                Step(P);
            }
        }
    }

private:
    toml::source_position Here() const { return {FLine, FColumn}; }

    // One byte on; the column counts characters, as the parser's do.
    void Step(const char*& P)
    {
        if (*P == '\n') {
            ++FLine;
            FColumn = 1;
        } else if ((static_cast<unsigned char>(*P) & 0xC0) != 0x80) {
            ++FColumn;
        }
        ++P;
    }

    // From an opening quote past the closing one: "..." and """...""" with escapes, '...'
    // and '''...''' without. A one-line text ends at the line's end at the latest.
    void SkipString(const char*& P, const char* End)
    {
        const char Quote = *P;
        const bool Escapes = Quote == '"';
        const bool MultiLine = End - P >= 3 && P[1] == Quote && P[2] == Quote;
        for (int I = MultiLine ? 3 : 1; I > 0; --I)
            Step(P);
        while (P < End) {
            if (Escapes && *P == '\\') {
                Step(P);
                if (P < End)
                    Step(P);
            } else if (!MultiLine && (*P == Quote || *P == '\n')) {
                if (*P == Quote)
                    Step(P);
                return;
            } else if (MultiLine && *P == Quote && End - P >= 3 && P[1] == Quote && P[2] == Quote) {
                // The last three of up to five quotes close the text.
                for (int I = 0; I < 5 && P < End && *P == Quote; ++I)
                    Step(P);
                return;
            } else {
                Step(P);
            }
        }
    }

    const TParser& FParser;
    int FDepth = 0;
    int FDots = 0;
    toml::source_index FLine = 1;
    toml::source_index FColumn = 1;
};

} // namespace

QByteArray FormatConfigFile(const TItemView& Items, bool Explained)
{
    QString Out = QStringLiteral(
        "# Morvel SMS Controller configuration (morvel-smsctl).\n"
        "# Texts are bytes: \\u00XX is the byte XX. Boxes and flags are true or false.\n");
    std::optional<TItemPage> Page;
    for (const TEntry& E : Entries()) {
        if (Page != E.Item->Page) {
            Page = E.Item->Page;
            Out += QStringLiteral("\n# %1\n").arg(ItemPageName(*Page));
        }
        QString Line = E.Key + QStringLiteral(" = ") + ValueText(E, Items);
        if (Explained)
            Line = Line.leftJustified(45) + QStringLiteral(" # ") + E.Meaning;
        Out += Line + u'\n';
    }
    return Out.toUtf8();
}

QStringList ParseConfigFile(const QByteArray& Text, const QString& FileName, TItemView& Items,
                            const TConfigRules& Rules)
{
    TParser Parser(FileName, Rules);
    if (Text.size() > MaxConfigFileSize)
        Parser.Fail({1, 1}, QStringLiteral("larger than %1 bytes; expected a configuration file").arg(MaxConfigFileSize));
    TStructureGuard(Parser).Check(Text);
    toml::table Root;
    try {
        Root = toml::parse(std::string_view(Text.constData(), static_cast<size_t>(Text.size())),
                           FileName.toStdString());
    } catch (const toml::parse_error& Error) {
        const std::string_view What = Error.description();
        Parser.Fail(Error.source().begin,
                    QString::fromUtf8(What.data(), static_cast<qsizetype>(What.size())));
    }
    Parser.Walk(Root, {});
    Parser.TakeMissing(EndOf(Text));
    Parser.Store(Items);
    return Parser.FWarnings;
}

QStringList LoadConfigFile(const QString& Path, TItemView& Items, const TConfigRules& Rules)
{
    QByteArray Text;
    try {
        Text = ReadFileBounded(Path);
    } catch (const EFileIo& Error) {
        throw EConfigFile(Error.Message());
    }
    return ParseConfigFile(Text, Path == QLatin1String("-") ? QStringLiteral("<stdin>") : Path, Items, Rules);
}

std::vector<TItemDifference> CompareItems(const TItemView& Left, const TItemView& Right)
{
    std::vector<TItemDifference> Differences;
    for (const TEntry& E : Entries()) {
        const QString A = ValueText(E, Left), B = ValueText(E, Right);
        if (A != B)
            Differences.push_back({E.Key, A, B});
    }
    return Differences;
}

void AssignConfigValue(const QString& Assignment, TItemView& Items)
{
    const qsizetype Equals = Assignment.indexOf(u'=');
    const QString Key = Assignment.left(Equals);
    const QString Value = Equals < 0 ? QString() : Assignment.mid(Equals + 1);
    const TEntry* E = Equals < 0 ? nullptr : FindEntry(Key);
    auto Fail = [&](const QString& What) {
        throw EConfigFile(QStringLiteral("%1: %2").arg(Assignment, What));
    };
    if (Equals < 0)
        Fail(QStringLiteral("expected KEY=VALUE"));
    if (!E)
        Fail(QStringLiteral("unknown key \"%1\"; expected an item's key such as relay.1.on "
                            "(morvel-smsctl defaults writes them all)")
                 .arg(Key));
    if (IsBox(*E)) {
        if (Value != QLatin1String("true") && Value != QLatin1String("false"))
            Fail(QStringLiteral("%1 is a box; expected true or false").arg(Key));
        Items.SetItemChecked(E->Control, Value == QLatin1String("true"));
        return;
    }
    if (const qsizetype Bad = FirstUnsendable(Value); Bad >= 0)
        Fail(QStringLiteral("%1: %2").arg(Key, UnsendableText(Value, Bad)));
    if (Value.size() > E->Item->MaxLength)
        Fail(QStringLiteral("%1 would be %2 bytes long; expected at most %3")
                 .arg(Key)
                 .arg(Value.size())
                 .arg(E->Item->MaxLength));
    Items.SetItemText(E->Control, Value);
}

QByteArray JsonText(const QString& Text)
{
    QString Out = QStringLiteral("\"");
    for (const QChar C : Text) {
        const char16_t U = C.unicode();
        if (U == u'"' || U == u'\\')
            Out += QLatin1Char('\\') + C;
        else if (U < 0x20 || U == 0x7F)
            Out += QStringLiteral("\\u") + QStringLiteral("%1").arg(U, 4, 16, QLatin1Char('0')).toUpper();
        else
            Out += C;
    }
    return (Out + u'"').toUtf8();
}

QByteArray ConfigValueJson(const QString& Key, const TItemView& Items)
{
    const TEntry* E = FindEntry(Key);
    if (!E)
        return "null";
    if (IsBox(*E))
        return Items.ItemChecked(E->Control) ? "true" : "false";
    return JsonText(Items.ItemText(E->Control));
}

QByteArray ConfigJson(const TItemView& Items)
{
    QByteArray Out = "{";
    for (const TEntry& E : Entries()) {
        if (Out.size() > 1)
            Out += ',';
        Out += JsonText(E.Key) + ':' + ConfigValueJson(E.Key, Items);
    }
    return Out + '}';
}
