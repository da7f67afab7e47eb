#pragma once
#include <cstddef>

#include "app/layout_types.h"

// Child ids of the card's controls.
enum CardControlId {
    IDC_PICTURE2 = 101, IDC_PICTURE1, IDC_FRAME1, IDC_LABEL3, IDC_LABEL6,
    IDC_TXTDATETIME, IDC_TXTTITLE, IDC_LBLBAR, IDC_TXTWSPEED, IDC_LINE2, IDC_LINE1,
    IDC_TXTDAY1, IDC_TXTDAY2, IDC_LABEL8, IDC_LABEL9, IDC_TXTWTEMP, IDC_TXTCOND,
    IDC_TXTTEMP, IDC_LABEL4, IDC_LABEL2, IDC_LABEL1,
};

// Popup menu item ids.
enum CardMenuId { IDM_OPEN = 201, IDM_REFRESH, IDM_OPTIONS, IDM_EXIT };

const int kCardWidthTwips = 3105;
const int kCardHeightTwips = 4890;
const int kCardDesignLeft = 7155;
const int kCardDesignTop = 3555;
const int kDay1TopTwips = 3045;
// Blanking the card puts the second forecast line at 3400, 5 twips above its
// design top: the card has always done so, and a tall first line moves it
// 200 twips down from wherever it stands.
const int kDay2ResetTopTwips = 3400;
const int kDay1TallHeightTwips = 500;
const int kDay2TallShiftTwips = 200;

extern const ControlSpec kCardControls[];
extern const size_t kCardControlCount;
const ControlSpec* FindCardControl(int id);
