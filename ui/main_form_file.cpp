// The window's side of configuration files: Open, Save, a file dropped on the window, and the
// copy every completed import leaves. The files are morvel-smsctl's, read and written by the
// same code, so either program takes what the other wrote.
#include "main_form.h"

#include "app/application.h"
#include "core/file_io.h"
#include "app/guard.h"
#include "device/config_file.h"
#include "device/import_copies.h"
#include "device/item_store.h"
#include "device/link_control.h"
#include "device/link_state.h"
#include "image_list.h"
#include "settings.h"
#include "speed_button.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QKeySequence>
#include <QMessageBox>
#include <QMimeData>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

namespace {
// A file holds every item. A text longer than its field is taken whole, as an import takes
// it from a box; a line break inside a text could never reach a box and is refused.
constexpr TConfigRules OpenRules{.Complete = true, .Sendable = true, .Limited = false};

const char* const FileFilter = "Configuration files (*.toml);;All files (*)";
const char* const LastFolderKey = "Files/LastFolder";

QString LastFolder()
{
    const QSettings Settings = ProgramSettings();
    const QString Folder = Settings.value(QLatin1String(LastFolderKey)).toString();
    return !Folder.isEmpty() && QFileInfo(Folder).isDir() ? Folder : QDir::homePath();
}

// A setting that cannot be stored costs the user a click next time, nothing more.
void RememberFolder(const QString& File)
{
    QSettings Settings = ProgramSettings();
    Settings.setValue(QLatin1String(LastFolderKey), QFileInfo(File).absolutePath());
}

QString AskOpenPathByDialog(QWidget* Parent, const QString& Folder)
{
    return QFileDialog::getOpenFileName(Parent, QStringLiteral("Open Configuration"), Folder,
                                        QString::fromLatin1(FileFilter));
}

QString AskSavePathByDialog(QWidget* Parent, const QString& Suggested)
{
    QFileDialog Dialog(Parent, QStringLiteral("Save Configuration"));
    Dialog.setAcceptMode(QFileDialog::AcceptSave);
    Dialog.setNameFilter(QString::fromLatin1(FileFilter));
    Dialog.setDefaultSuffix(QStringLiteral("toml"));
    Dialog.setDirectory(QFileInfo(Suggested).absolutePath());
    Dialog.selectFile(QFileInfo(Suggested).fileName());
    if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty())
        return {};
    return Dialog.selectedFiles().constFirst();
}

// The one local file a drag carries, or an empty text.
QString DroppedFile(const QMimeData* Data)
{
    if (!Data || !Data->hasUrls() || Data->urls().size() != 1 || !Data->urls().constFirst().isLocalFile())
        return {};
    return Data->urls().constFirst().toLocalFile();
}
} // namespace

void TForm4::PrepareFiles()
{
    setAcceptDrops(true);
    FAskOpenPath = [this](const QString& Folder) { return AskOpenPathByDialog(this, Folder); };
    FAskSavePath = [this](const QString& Suggested) { return AskSavePathByDialog(this, Suggested); };
}

void TForm4::SetFileDialogs(TAskPath AskOpenPath, TAskPath AskSavePath)
{
    FAskOpenPath = std::move(AskOpenPath);
    FAskSavePath = std::move(AskSavePath);
}

// An export reads the fields as it sends them, and a dialog opened inside its pause would hold
// it there: both wait until it is over.
void TForm4::sSpeedButton7Click(QObject*)
{
    if (FLink->Busy())
        return;
    const QString Path = FAskOpenPath(LastFolder());
    if (!Path.isEmpty())
        OpenConfiguration(Path);
}

void TForm4::sSpeedButton8Click(QObject*)
{
    if (FLink->Busy())
        return;
    const QString Path = FAskSavePath(LastFolder() + u'/' + SuggestedFileName());
    if (!Path.isEmpty())
        SaveConfiguration(Path);
}

void TForm4::OpenConfiguration(const QString& Path)
{
    // The whole file is checked before a field changes.
    TItemStore Items;
    LoadConfigFile(Path, Items, OpenRules);
    CopyItems(Items, *this);
    // What was opened is there to be edited, connected or not.
    HideOverlay();
    EnablePages();
    RememberFolder(Path);
}

void TForm4::SaveConfiguration(const QString& Path)
{
    // The writer would write a device or a FIFO in place: a serial port would put the text on
    // its line, a FIFO without a reader would hold the window.
    if (const QFileInfo Target(Path); Target.exists() && !Target.isFile())
        throw EFileIo(Path + QStringLiteral(": not a regular file; a configuration is saved to a file"));
    WriteFileSafely(Path, FormatConfigFile(*this, false));
    RememberFolder(Path);
}

QString TForm4::SuggestedFileName() const
{
    QString Name = QStringLiteral("box-") + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    if (!SelectedPort.isEmpty())
        Name += u'-' + QFileInfo(SelectedPort).fileName();
    return Name + QStringLiteral(".toml");
}

void TForm4::dragEnterEvent(QDragEnterEvent* Event)
{
    if (!FLink->Busy() && !DroppedFile(Event->mimeData()).isEmpty())
        Event->acceptProposedAction();
}

void TForm4::dropEvent(QDropEvent* Event)
{
    const QString Path = DroppedFile(Event->mimeData());
    if (FLink->Busy() || Path.isEmpty())
        return;
    Event->acceptProposedAction();
    // Opened once the drop is over: an error box inside it would hold the dragging program.
    QTimer::singleShot(0, this, Guarded(this, [this, Path] {
                           if (!FLink->Busy())
                               OpenConfiguration(Path);
                       }));
}

void TForm4::ImportCompleted()
{
    // Taken now, written once the receive event has returned: the port's event thread waits
    // for the event, and the copy's file must not make it wait.
    const QByteArray Text = FormatConfigFile(*this, false);
    const QString Port = SelectedPort;
    const QDateTime When = QDateTime::currentDateTime();
    QTimer::singleShot(0, this, [this, Port, When, Text] { LeaveImportCopy(Port, When, Text); });
}

// The import itself is done whatever happens here: a copy that cannot be kept is said in a box
// that does not stop the user, and the next import tries again.
void TForm4::LeaveImportCopy(const QString& Port, const QDateTime& When, const QByteArray& Text)
{
    try {
        KeepImportCopy(ImportCopyFolder(), ImportCopyName(When, Port, AdapterSerialNumber(Port)), Text);
        return;
    } catch (const std::exception& Error) {
        if (!FCopyNotice) {
            FCopyNotice = new QMessageBox(QMessageBox::Warning, Application->Title, QString(),
                                          QMessageBox::Ok, this);
            FCopyNotice->setObjectName(QStringLiteral("CopyNotice"));
            FCopyNotice->setAttribute(Qt::WA_DeleteOnClose);
            FCopyNotice->setModal(false);
        }
        FCopyNotice->setText(
            QStringLiteral("The import is complete, but its copy could not be kept:\n%1")
                .arg(ExceptionMessage(Error)));
        FCopyNotice->show();
    }
}
