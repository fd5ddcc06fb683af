// The narrow view through which the device exchange reads and writes the configuration: the
// window's controls, reached by component name. The controls are the only store of the items.
#pragma once

#include <QString>

class TItemView
{
public:
    virtual ~TItemView() = default;
    // The text of an edit field (empty for an unknown name).
    virtual QString ItemText(const QString& Control) const = 0;
    // Stores Text whole, whatever the field's maximum length.
    virtual void SetItemText(const QString& Control, const QString& Text) = 0;
    virtual bool ItemChecked(const QString& Control) const = 0;
    virtual void SetItemChecked(const QString& Control, bool Checked) = 0;
};
