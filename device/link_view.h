// The window as the link control sees it: the configuration fields (TItemView) plus the few
// states that connecting, importing and exporting change.
#pragma once

#include "item_view.h"

class TLinkView : public TItemView
{
public:
    // The Connect button's caption is the only record of the connected state.
    virtual QString ConnectCaption() const = 0;
    virtual void SetConnectButton(const QString& Caption, int ImageIndex) = 0;
    // Import and Export together.
    virtual void SetExchangeEnabled(bool Enabled) = 0;
    // The connected state's rest: overlay hidden, pages enabled.
    virtual void HideOverlay() = 0;
    virtual void EnablePages() = 0;
    // The device on Port answered the handshake (the window remembers the port for next time).
    virtual void PortConnected(const QString& Port) { (void)Port; }
    // Refills the port list and shows the port dialog (not modal).
    virtual void ShowPortDialog() = 0;
    // A notice with one OK button: the handshake found no device.
    virtual void ShowNotice(const QString& Text) = 0;
    // A failure that no handler raised: import lines that could not be stored.
    virtual void ShowError(const QString& Text) = 0;
    // The import's 59 lines have all been stored, none refused: the items now hold what the
    // box holds. Runs inside the receive event, so it must not wait for anything.
    virtual void ImportCompleted() {}

    virtual void SetProgressVisible(bool Visible) = 0;
    virtual int ProgressPosition() const = 0;
    virtual void SetProgressPosition(int Position) = 0; // held within the bar's range
};
