#include "item_store.h"

#include "codecs.h"

TItemStore::TItemStore() { ApplyDefaults(*this); }
