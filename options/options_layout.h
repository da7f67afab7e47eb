#pragma once
#include <cstddef>

#include "app/layout_types.h"

enum OptionsControlId {
    IDC_FRAME3 = 301, IDC_CBOREFRESH, IDC_CHKONTRAY, IDC_CHKONSTART, IDC_OPT_LABEL5,
    IDC_CMDOK, IDC_COMMAND2, IDC_FRAME2, IDC_OPTC, IDC_OPTF, IDC_OPT_FRAME1,
    IDC_COMMAND1, IDC_TXTWORD, IDC_OPT_LABEL3, IDC_TXTLOCATION, IDC_OPT_LABEL1, IDC_LBLABOUT,
};

const int kOptionsWidthTwips = 6525;
const int kOptionsHeightTwips = 4905;
const int kOptionsDesignLeft = 5805;
const int kOptionsDesignTop = 3825;

extern const ControlSpec kOptionsControls[];
extern const size_t kOptionsControlCount;
