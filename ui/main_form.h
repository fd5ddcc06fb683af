// The main window: the toolbar, the four configuration pages behind the panel that stays
// disabled until the device answers, the overlay over the Output page and the progress bar.
#pragma once

#include "app/form.h"
#include "device/link_view.h"

#include <QPointer>
#include <functional>
#include <memory>

#include <cstdint>

class QDateTime;
class QFrame;
class QMessageBox;
class QProgressBar;
class TImage;
class TImageList;
class TPageControl;
class TSpeedButton;
class TComPort;
class TLinkControl;

// The maker's web address, shown in the caption and on the about picture.
inline constexpr const char* MakerWebAddress = "www.morvel-electronic.example";

class TForm4 : public TForm, public TLinkView
{
    Q_OBJECT

public:
    TForm4();
    ~TForm4() override;

    // Handlers bound to the window's controls; each takes the sender and runs guarded.
    void FormCreate(QObject* Sender);
    void sSpeedButton2Click(QObject* Sender); // Connect / DisConnect
    void sSpeedButton3Click(QObject* Sender); // Import
    void sSpeedButton6Click(QObject* Sender); // Export
    void sSpeedButton4Click(QObject* Sender); // About
    void sSpeedButton5Click(QObject* Sender); // Help
    void sBitBtn1Click(QObject* Sender);      // Exit
    void sSpeedButton7Click(QObject* Sender); // Open
    void sSpeedButton8Click(QObject* Sender); // Save
    void ComPort1RxChar(QObject* Sender, int Count);

    // Refills the port dialog's list from the system's serial devices.
    void FillPortList();
    // Stores one received line into the item with that number.
    void ApplyImportedLine(std::uint8_t Line, const QString& Text);
    // Sends the records of every item, paced, with the progress bar.
    void ExportConfiguration();

    // Fills the pages from a configuration file, as morvel-smsctl reads it; the pages then take
    // input, connected or not. A file that cannot be used changes nothing: EConfigFile names
    // the file, line and column.
    void OpenConfiguration(const QString& Path);
    // Writes the pages to Path as morvel-smsctl writes a box's configuration, whole or not at all.
    void SaveConfiguration(const QString& Path);
    // Asks for the path to open (Suggested: a folder) or to save to (Suggested: a file in the
    // folder used last); empty when the user cancels. File dialogs by default.
    using TAskPath = std::function<QString(const QString& Suggested)>;
    void SetFileDialogs(TAskPath AskOpenPath, TAskPath AskSavePath);
    // The name Save offers: the date and the port, as box-2026-12-09-ttyUSB0.toml.
    QString SuggestedFileName() const;

    // TItemView: the configuration fields by component name.
    QString ItemText(const QString& Control) const override;
    void SetItemText(const QString& Control, const QString& Text) override;
    bool ItemChecked(const QString& Control) const override;
    void SetItemChecked(const QString& Control, bool Checked) override;

    // TLinkView: the states the link changes.
    QString ConnectCaption() const override;
    void SetConnectButton(const QString& Caption, int ImageIndex) override;
    void SetExchangeEnabled(bool Enabled) override;
    void HideOverlay() override;
    void EnablePages() override;
    void ShowPortDialog() override;
    void PortConnected(const QString& Port) override;
    void ShowNotice(const QString& Text) override;
    void ShowError(const QString& Text) override;
    void ImportCompleted() override;
    void SetProgressVisible(bool Visible) override;
    int ProgressPosition() const override;
    void SetProgressPosition(int Position) override;

protected:
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;

private:
    void CreateComponents();
    void CreateComPort();
    void BindHandlers();
    void PrepareFiles();
    void LeaveImportCopy(const QString& Port, const QDateTime& When, const QByteArray& Text);

    void BindShortcuts();

    QFrame* sPanel1 = nullptr;
    TPageControl* sPageControl1 = nullptr;
    QWidget* sTabSheet1 = nullptr;    // Output
    QWidget* sPageControl2 = nullptr; // Input (a page, despite its name)
    QWidget* sTabSheet2 = nullptr;    // Tell Number
    QWidget* sTabSheet3 = nullptr;    // Config
    QFrame* sPanel2 = nullptr;
    TImage* Image5 = nullptr;
    QFrame* sCoolBar1 = nullptr;
    TSpeedButton* sSpeedButton3 = nullptr; // Import
    TSpeedButton* sSpeedButton6 = nullptr; // Export
    TSpeedButton* sSpeedButton2 = nullptr; // Connect
    TSpeedButton* sSpeedButton4 = nullptr; // About
    TSpeedButton* sSpeedButton5 = nullptr; // Help
    TSpeedButton* sBitBtn1 = nullptr;      // Exit
    TSpeedButton* sSpeedButton7 = nullptr; // Open
    TSpeedButton* sSpeedButton8 = nullptr; // Save
    QProgressBar* sProgressBar1 = nullptr;
    TImageList* ImageList32 = nullptr;
    TComPort* ComPort1 = nullptr;
    std::unique_ptr<TLinkControl> FLink;
    TAskPath FAskOpenPath, FAskSavePath;
    QPointer<QMessageBox> FCopyNotice; // an import's copy could not be kept
};
