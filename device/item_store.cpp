#include "item_store.h"

#include "codecs.h"
#include "items.h"

TItemStore::TItemStore() { ApplyDefaults(*this); }

void CopyItems(const TItemView& From, TItemView& To)
{
    for (const TItemDef& Item : ItemTable())
        for (const QString& Control : ItemControls(Item)) {
            if (IsTextKind(Item.Kind))
                To.SetItemText(Control, From.ItemText(Control));
            else
                To.SetItemChecked(Control, From.ItemChecked(Control));
        }
}
