// The window's side of the device exchange: connect, receive, import and export. The handlers
// stay short; the exchange itself is the link control's.
#include "main_form.h"

#include "app/application.h"
#include "app/boxes.h"
#include "core/exceptions.h"
#include "device/link_control.h"
#include "device/link_state.h"
#include "forms.h"
#include "port_form.h"
#include "serial/cport.h"
#include "speed_button.h"

#include <QFrame>
#include <QProgressBar>

void TForm4::CreateComPort()
{
    ComPort1 = new TComPort(this);
    ComPort1->setObjectName(QStringLiteral("ComPort1"));
    ComPort1->SetPort(QStringLiteral("COM9"));
    SetUpLinkPort(*ComPort1);
    ComPort1->SetOnRxChar([this](QObject* Sender, int Count) { ComPort1RxChar(Sender, Count); });
    FLink = std::make_unique<TLinkControl>(*this, *ComPort1);
}

TForm4::~TForm4()
{
    // No receive event may reach the controls while they are being destroyed.
    ComPort1->SetOnRxChar(nullptr);
    ComPort1->Close();
}

void TForm4::FormCreate(QObject*) { SelectedPort.clear(); }

void TForm4::sSpeedButton2Click(QObject*)
{
    if (!FLink->Busy())
        FLink->ConnectClick();
}

void TForm4::sSpeedButton3Click(QObject*)
{
    if (!FLink->Busy())
        FLink->ImportClick();
}

void TForm4::sSpeedButton6Click(QObject*)
{
    if (!FLink->Busy())
        FLink->ExportClick();
}

void TForm4::ComPort1RxChar(QObject*, int Count) { FLink->Receive(Count); }

void TForm4::ApplyImportedLine(std::uint8_t Line, const QString& Text)
{
    FLink->ApplyImportedLine(Line, Text);
}

void TForm4::ExportConfiguration() { FLink->ExportConfiguration(); }

QString TForm4::ConnectCaption() const { return sSpeedButton2->Caption(); }

void TForm4::SetConnectButton(const QString& Caption, int ImageIndex)
{
    sSpeedButton2->SetCaption(Caption);
    sSpeedButton2->SetImageIndex(ImageIndex);
}

void TForm4::SetExchangeEnabled(bool Enabled)
{
    sSpeedButton3->setEnabled(Enabled);
    sSpeedButton6->setEnabled(Enabled);
}

void TForm4::HideOverlay() { sPanel2->hide(); }

void TForm4::EnablePages() { sPanel1->setEnabled(true); }

void TForm4::ShowPortDialog()
{
    FillPortList();
    if (Form1)
        Form1->ShowDialog();
}

void TForm4::ShowNotice(const QString& Text) { ::ShowNotice(Text); }

void TForm4::ShowError(const QString& Text)
{
    try {
        throw EConvertError(Text);
    } catch (...) {
        Application->HandleException(this);
    }
}

void TForm4::SetProgressVisible(bool Visible) { sProgressBar1->setVisible(Visible); }

int TForm4::ProgressPosition() const { return sProgressBar1->value(); }

void TForm4::SetProgressPosition(int Position)
{
    sProgressBar1->setValue(std::clamp(Position, sProgressBar1->minimum(), sProgressBar1->maximum()));
}
