// The window's side of the port list, the about window and the help document.
#include "main_form.h"

#include "about_form.h"
#include "forms.h"
#include "last_port.h"
#include "port_form.h"
#include "serial/port_list.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

void TForm4::sSpeedButton4Click(QObject*)
{
    Form2->show();
    Form2->raise();
    Form2->activateWindow();
}

namespace {
const QString PdfType = QStringLiteral("application/pdf");

// True when a line of Text lists PdfType after Key (a desktop entry's "MimeType=", a cache's or
// an association list's "application/pdf=").
bool ListsPdf(const QString& Text, const QString& Key)
{
    for (QStringView Line : QStringView(Text).split(u'\n')) {
        Line = Line.trimmed();
        if (!Line.startsWith(Key))
            continue;
        const QStringView Value = Line.mid(Key.size());
        if (Key == PdfType + u'=' ? !Value.trimmed().isEmpty()
                                  : Value.split(u';').contains(QStringView(PdfType)))
            return true;
    }
    return false;
}

QString FileText(const QString& Path)
{
    QFile File(Path);
    return File.open(QIODevice::ReadOnly) ? QString::fromUtf8(File.read(1 << 20)) : QString();
}

// Whether the desktop knows an application for PDF documents, looked up where xdg-open, gio and
// kde-open look: the applications' desktop entries and their cache, and the user's and the
// system's association lists.
bool PdfViewerInstalled()
{
    for (const QString& Folder : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
        if (ListsPdf(FileText(Folder + QStringLiteral("/mimeinfo.cache")), PdfType + u'=') ||
            ListsPdf(FileText(Folder + QStringLiteral("/mimeapps.list")), PdfType + u'='))
            return true;
        QDirIterator Entries(Folder, {QStringLiteral("*.desktop")}, QDir::Files,
                             QDirIterator::Subdirectories);
        while (Entries.hasNext())
            if (ListsPdf(FileText(Entries.next()), QStringLiteral("MimeType=")))
                return true;
    }
    for (const QString& Folder : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        if (ListsPdf(FileText(Folder + QStringLiteral("/mimeapps.list")), PdfType + u'='))
            return true;
    return false;
}
} // namespace

// Whether the document opened is the desktop's business, but a desktop with nothing to open it
// with gets told where it lies instead of a silent button.
void TForm4::sSpeedButton5Click(QObject*)
{
    const QString Document = QCoreApplication::applicationDirPath() + QStringLiteral("/Help.pdf");
    const bool Present = QFileInfo(Document).isFile();
    if (Present && !PdfViewerInstalled()) {
        ShowNotice(QStringLiteral("The help is the document %1.\nNo PDF viewer is installed, so "
                                  "it cannot be opened here: install one (such as evince or "
                                  "okular) or open the file on another computer.")
                       .arg(QDir::toNativeSeparators(Document)));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(Document)) && Present)
        ShowNotice(QStringLiteral("The help is the document %1.\nThe desktop has no program "
                                  "that opens documents (xdg-open is missing): open the file "
                                  "with a PDF viewer.")
                       .arg(QDir::toNativeSeparators(Document)));
}

void TForm4::PortConnected(const QString& Port) { RememberLastPort(Port); }

// A port that cannot be read ends the filling; the ports added before it stay in the list.
void TForm4::FillPortList()
{
    Form1->ClearPorts();
    EnumSerialPorts([](const QString& Port) { Form1->AddSystemPort(Port); });
    Form1->SelectLastPort();
}
