// The box's link as a console program sees it: the configuration in an item store instead of
// fields, the connected state in a caption nobody shows, the export's progress as a bar on a
// terminal, and notices and errors kept for the program to report.
#pragma once

#include "device/item_store.h"
#include "device/link_view.h"

#include <QElapsedTimer>
#include <QStringList>
#include <cstdio>
#include <functional>

class TConsoleLink : public TLinkView
{
public:
    // Progress goes to Terminal when it is one; nothing is drawn otherwise.
    explicit TConsoleLink(FILE* Terminal = stderr);

    TItemStore Items;
    QStringList Notices;
    QStringList Errors;
    // Told of every move of the export's progress, with the seconds left (machine-readable
    // progress for --json).
    std::function<void(int Position, int SecondsLeft)> OnProgress;

    QString ItemText(const QString& Control) const override { return Items.ItemText(Control); }
    void SetItemText(const QString& Control, const QString& Text) override { Items.SetItemText(Control, Text); }
    bool ItemChecked(const QString& Control) const override { return Items.ItemChecked(Control); }
    void SetItemChecked(const QString& Control, bool Checked) override { Items.SetItemChecked(Control, Checked); }

    QString ConnectCaption() const override { return FCaption; }
    void SetConnectButton(const QString& Caption, int) override { FCaption = Caption; }
    void SetExchangeEnabled(bool) override {}
    void HideOverlay() override {}
    void EnablePages() override {}
    void ShowPortDialog() override {}
    void ShowNotice(const QString& Text) override { Notices << Text; }
    void ShowError(const QString& Text) override { Errors << Text; }

    void SetProgressVisible(bool Visible) override;
    int ProgressPosition() const override { return FPosition; }
    void SetProgressPosition(int Position) override;

    bool Connected() const;

private:
    void Draw();
    int SecondsLeft() const;

    QString FCaption = QStringLiteral("Connect");
    FILE* FTerminal; // null when progress is not drawn
    bool FVisible = false;
    bool FDrawn = false;
    int FPosition = 0;
    QElapsedTimer FClock;
};

// The bar's line: "[#####.....]  40%  15 s left", Width characters between the brackets.
QString ProgressLine(int Position, int Maximum, int SecondsLeft, int Width = 40);
