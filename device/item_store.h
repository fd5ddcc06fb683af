// The configuration held in memory, for programs without the window: the same items under the
// same control names, starting at their defaults.
#pragma once

#include "item_view.h"

#include <QHash>

class TItemStore : public TItemView
{
public:
    TItemStore();

    QString ItemText(const QString& Control) const override { return FTexts.value(Control); }
    void SetItemText(const QString& Control, const QString& Text) override { FTexts[Control] = Text; }
    bool ItemChecked(const QString& Control) const override { return FChecked.value(Control); }
    void SetItemChecked(const QString& Control, bool Checked) override { FChecked[Control] = Checked; }

    bool operator==(const TItemStore& Other) const
    {
        return FTexts == Other.FTexts && FChecked == Other.FChecked;
    }

private:
    QHash<QString, QString> FTexts;
    QHash<QString, bool> FChecked;
};

// Sets every item of To as From holds it, texts whole.
void CopyItems(const TItemView& From, TItemView& To);
