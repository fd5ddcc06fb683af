#include "pages.h"

#include "device/items.h"
#include "edit.h"
#include "image.h"
#include "skin.h"

#include <QCheckBox>
#include <QFont>
#include <algorithm>
#include <vector>

namespace {
// One field of a page: its component name, place, size and place in the Tab key's order.
struct TFieldDef
{
    const char* Name;
    int Left, Top, Width, Height;
    int TabOrder;
};

struct TPageDef
{
    const char* Picture;
    QRect PictureRect;
    std::vector<TFieldDef> Fields; // in creation order
};

const TPageDef& PageDef(TPageContent Content)
{
    static const TPageDef Output{
        ":/pictures/page-output.pixels",
        {3, 0, 691, 519},
        {{"rel1_on", 339, 63, 153, 17, 11},   {"rel2_on", 339, 99, 153, 17, 10},
         {"rel3_on", 339, 136, 153, 17, 9},   {"rel4_on", 339, 173, 153, 17, 8},
         {"rel5_on", 339, 210, 153, 17, 7},   {"rel6_on", 339, 247, 153, 17, 6},
         {"rel7_on", 339, 283, 153, 17, 5},   {"rel8_on", 339, 320, 153, 17, 4},
         {"rel9_on", 339, 357, 153, 17, 3},   {"rel10_on", 339, 394, 153, 17, 2},
         {"rel11_on", 339, 431, 153, 17, 1},  {"rel12_on", 339, 468, 153, 17, 0},
         {"rel1_off", 100, 63, 153, 17, 23},  {"rel2_off", 100, 100, 153, 17, 22},
         {"rel3_off", 100, 137, 153, 17, 21}, {"rel4_off", 100, 174, 153, 17, 20},
         {"rel5_off", 100, 211, 153, 17, 19}, {"rel6_off", 100, 248, 153, 17, 18},
         {"rel7_off", 100, 285, 153, 17, 17}, {"rel8_off", 100, 322, 153, 17, 16},
         {"rel9_off", 100, 359, 153, 17, 15}, {"rel10_off", 100, 396, 153, 17, 14},
         {"rel11_off", 100, 433, 153, 17, 13}, {"rel12_off", 100, 470, 153, 17, 12}}};
    static const TPageDef Input{
        ":/pictures/page-input.pixels",
        {8, 0, 691, 519},
        {{"input1_1", 347, 77, 153, 17, 0},    {"input2_1", 347, 118, 153, 17, 1},
         {"input3_1", 347, 159, 153, 17, 2},   {"input4_1", 347, 201, 153, 17, 3},
         {"input5_1", 347, 242, 153, 17, 4},   {"input6_1", 347, 284, 153, 17, 5},
         {"input7_1", 347, 325, 153, 17, 6},   {"input8_1", 347, 367, 153, 17, 7},
         {"input9_1", 347, 408, 153, 17, 16},  {"input10_1", 347, 450, 153, 17, 17},
         {"input1_2", 107, 77, 153, 17, 8},    {"input2_2", 107, 118, 153, 17, 9},
         {"input3_2", 107, 159, 153, 17, 10},  {"input4_2", 107, 200, 153, 17, 11},
         {"input5_2", 107, 242, 153, 17, 12},  {"input6_2", 107, 283, 153, 17, 13},
         {"input7_2", 107, 324, 153, 17, 14},  {"input8_2", 107, 365, 153, 17, 15},
         {"input9_2", 107, 406, 153, 17, 18},  {"input10_2", 107, 448, 153, 17, 19}}};
    static const TPageDef TellNumber{
        ":/pictures/page-tell-number.pixels",
        {0, 0, 702, 532},
        {{"TEL1", 336, 79, 153, 23, 0},         {"TEL2", 336, 122, 153, 23, 9},
         {"TEL3", 336, 165, 153, 23, 10},       {"TEL4", 336, 208, 153, 23, 11},
         {"TEL5", 336, 249, 153, 25, 12},       {"TEL6", 336, 293, 153, 23, 13},
         {"TEL7", 336, 336, 153, 23, 14},       {"TEL8", 336, 379, 153, 23, 15},
         {"CK_TEL_1", 196, 77, 21, 25, 2},      {"CK_TEL_2", 196, 119, 21, 25, 1},
         {"CK_TEL_3", 196, 162, 21, 25, 3},     {"CK_TEL_4", 196, 205, 21, 25, 4},
         {"CK_TEL_5", 196, 248, 21, 25, 5},     {"CK_TEL_6", 196, 291, 21, 24, 6},
         {"CK_TEL_7", 196, 334, 21, 25, 7},     {"CK_TEL_8", 196, 377, 21, 25, 8},
         {"CK_TEL_in_1", 76, 77, 21, 25, 16},   {"CK_TEL_in_2", 76, 119, 21, 25, 17},
         {"CK_TEL_in_3", 76, 162, 21, 25, 18},  {"CK_TEL_in_4", 76, 205, 21, 25, 19},
         {"CK_TEL_in_5", 76, 248, 21, 25, 20},  {"CK_TEL_in_6", 76, 291, 21, 24, 21},
         {"CK_TEL_in_7", 76, 334, 21, 25, 22},  {"CK_TEL_in_8", 76, 377, 21, 26, 23}}};
    static const TPageDef Config{
        ":/pictures/page-config.pixels",
        {0, 0, 702, 521},
        {{"ch_feadback", 297, 397, 21, 25, 0}, {"txt_status", 272, 337, 56, 23, 1},
         {"sCheckBox1", 425, 81, 21, 25, 2},   {"sCheckBox2", 425, 119, 21, 25, 3},
         {"sCheckBox3", 425, 157, 21, 25, 4},  {"sCheckBox4", 425, 195, 21, 25, 5},
         {"sCheckBox5", 425, 233, 21, 25, 6},  {"sCheckBox6", 425, 272, 21, 20, 7},
         {"sCheckBox7", 105, 81, 21, 25, 8},   {"sCheckBox8", 105, 118, 21, 25, 9},
         {"sCheckBox9", 105, 156, 21, 25, 10}, {"sCheckBox10", 105, 193, 21, 25, 11},
         {"sCheckBox11", 105, 231, 21, 25, 12}, {"sCheckBox12", 105, 269, 21, 25, 13},
         {"ch_state", 297, 445, 21, 25, 14}}};
    switch (Content) {
    case TPageContent::Output: return Output;
    case TPageContent::Input: return Input;
    case TPageContent::TellNumber: return TellNumber;
    case TPageContent::Config: break;
    }
    return Config;
}

// The item a control belongs to: its kind, limit and default come from the item table.
const TItemDef* ItemOf(const QString& Control)
{
    for (const TItemDef& Item : ItemTable())
        if (ItemControls(Item).contains(Control))
            return &Item;
    return nullptr;
}

QWidget* CreateField(QWidget* Page, const TFieldDef& Def)
{
    const QString Name = QString::fromLatin1(Def.Name);
    const TItemDef* Item = ItemOf(Name);
    QWidget* Field;
    if (Item && IsTextKind(Item->Kind)) {
        auto* Edit = new TEdit(Page);
        Edit->SetMaxLength(Item->MaxLength);
        Edit->setText(QString::fromLatin1(Item->Default));
        Edit->setAlignment(Name == QLatin1String("txt_status") ? Qt::AlignLeft | Qt::AlignVCenter
                                                                : Qt::AlignCenter);
        QFont Font(QStringLiteral("Tahoma"));
        Font.setPixelSize(16);
        Edit->setFont(Font);
        Field = Edit;
    } else {
        auto* Box = new QCheckBox(Page);
        SetSkinSection(Box, "CHECKBOX");
        Box->setChecked(Item && Item->Kind == TItemKind::Flag && QLatin1String(Item->Default) == "1");
        Box->setFixedSize(Def.Width, Def.Height);
        Field = Box;
    }
    Field->setObjectName(Name);
    Field->setGeometry(Def.Left, Def.Top, Def.Width, Def.Height);
    // The page's labels are pictures: a screen reader learns what a field is from these.
    if (Item) {
        Field->setAccessibleName(ControlTitle(*Item, Name));
        Field->setAccessibleDescription(
            IsTextKind(Item->Kind)
                ? QStringLiteral("%1, at most %2 characters").arg(ControlMeaning(*Item, Name)).arg(Item->MaxLength)
                : ControlMeaning(*Item, Name));
    }
    return Field;
}
} // namespace

void CreatePageContent(QWidget* Page, TPageContent Content)
{
    const TPageDef& Def = PageDef(Content);
    auto* Picture = new TImage(Page);
    static const char* const PictureNames[] = {"Image1", "Image3", "Image2", "Image4"};
    Picture->setObjectName(QString::fromLatin1(PictureNames[static_cast<int>(Content)]));
    Picture->setGeometry(Def.PictureRect);
    Picture->LoadPicture(QString::fromLatin1(Def.Picture));

    std::vector<std::pair<int, QWidget*>> Order;
    for (const TFieldDef& Field : Def.Fields)
        Order.emplace_back(Field.TabOrder, CreateField(Page, Field));
    std::sort(Order.begin(), Order.end(),
              [](const auto& A, const auto& B) { return A.first < B.first; });
    for (size_t I = 1; I < Order.size(); ++I)
        QWidget::setTabOrder(Order[I - 1].second, Order[I].second);
}
