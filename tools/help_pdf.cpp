// Renders the help text (Markdown) into the PDF that lies beside the program: help-pdf IN OUT.
#include <QFile>
#include <QGuiApplication>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <cstdio>

namespace {
int Fail(const QString& Message)
{
    std::fprintf(stderr, "help-pdf: %s\n", qPrintable(Message));
    return 1;
}

// Headings in the program's dark blue, so the sections stand out on paper.
void ColourHeadings(QTextDocument& Document)
{
    for (QTextBlock Block = Document.begin(); Block.isValid(); Block = Block.next()) {
        if (Block.blockFormat().headingLevel() == 0)
            continue;
        QTextCursor Cursor(Block);
        Cursor.select(QTextCursor::BlockUnderCursor);
        QTextCharFormat Format;
        Format.setForeground(QColor(0x12, 0x30, 0x7a));
        Cursor.mergeCharFormat(Format);
    }
}
} // namespace

int main(int argc, char** argv)
{
    // Runs at build time, with or without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication App(argc, argv);
    const QStringList Args = App.arguments();
    if (Args.size() != 3)
        return Fail(QStringLiteral("usage: help-pdf HELP.md OUT.pdf"));

    QFile Source(Args[1]);
    if (!Source.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("cannot read %1: %2").arg(Args[1], Source.errorString()));
    const QString Text = QString::fromUtf8(Source.readAll());

    QTextDocument Document;
    QFont Font(QStringLiteral("DejaVu Sans"));
    Font.setPointSizeF(10);
    Document.setDefaultFont(Font);
    Document.setMarkdown(Text, QTextDocument::MarkdownDialectGitHub);
    if (Document.isEmpty())
        return Fail(QStringLiteral("%1 holds no text").arg(Args[1]));
    ColourHeadings(Document);

    // Written whole or not at all: a half-written PDF must not pass for an up-to-date one.
    QSaveFile Out(Args[2]);
    if (!Out.open(QIODevice::WriteOnly))
        return Fail(QStringLiteral("cannot write %1: %2").arg(Args[2], Out.errorString()));
    {
        QPdfWriter Writer(&Out);
        Writer.setPageSize(QPageSize(QPageSize::A4));
        // print() itself keeps a 2 cm margin inside the page.
        Writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
        Writer.setTitle(QStringLiteral("Morvel SMS Controller - Help"));
        Writer.setCreator(QStringLiteral("Morvel SMS Controller"));
        Document.print(&Writer); // also numbers the pages
    }
    if (!Out.commit())
        return Fail(QStringLiteral("cannot write %1: %2").arg(Args[2], Out.errorString()));
    return 0;
}
