#include "card/card_layout.h"

namespace {
const Rgb kBlack{0, 0, 0};
const Rgb kWhite{255, 255, 255};
const Rgb kCyan{0, 255, 255};
}

// In creation order. Label3 and Label6 sit inside Frame1.
const ControlSpec kCardControls[] = {
    {IDC_PICTURE2, "Picture2", ControlKind::Picture, 0, 1785, 4320, 1140, 390, kBlack, kBlack, 0, "", -1},
    {IDC_PICTURE1, "Picture1", ControlKind::Picture, 0, 2115, 1275, 855, 825, kBlack, kWhite, 0, "", -1},
    {IDC_FRAME1, "Frame1", ControlKind::Frame, 0, 60, 60, 2985, 345, kBlack, kWhite, 0, "", -1},
    {IDC_LABEL3, "Label3", ControlKind::Label, IDC_FRAME1, 2670, 45, 270, 255, kWhite, kBlack, kNotify, "  _", -1},
    {IDC_LABEL6, "Label6", ControlKind::Label, IDC_FRAME1, 90, 45, 1215, 255, kBlack, kWhite, kDesignFont | kNotify, "Cloudwick", -1},
    {IDC_TXTDATETIME, "txtDateTime", ControlKind::Label, 0, 135, 750, 2820, 255, kCyan, kBlack, kCentred, "", -1},
    {IDC_TXTTITLE, "txtTitle", ControlKind::Label, 0, 135, 495, 2820, 255, kCyan, kBlack, kCentred, "options: Select Location", -1},
    {IDC_LBLBAR, "lblBar", ControlKind::Label, 0, 120, 4035, 2895, 135, kCyan, kBlack, 0, "----------", -1},
    {IDC_TXTWSPEED, "txtWSpeed", ControlKind::Label, 0, 1185, 1995, 1020, 270, kCyan, kBlack, 0, "", -1},
    {IDC_LINE2, "Line2", ControlKind::Line, 0, 120, 4200, 2880, 0, kBlack, kBlack, kSystemColour, "", -1},
    {IDC_LINE1, "Line1", ControlKind::Line, 0, 120, 1080, 2880, 0, kBlack, kBlack, kSystemColour, "", -1},
    {IDC_TXTDAY1, "txtDay1", ControlKind::Label, 0, 120, 3045, 2865, 255, kCyan, kBlack, 0, "", -1},
    {IDC_TXTDAY2, "txtDay2", ControlKind::Label, 0, 135, 3405, 2865, 495, kCyan, kBlack, 0, "", -1},
    {IDC_LABEL8, "Label8", ControlKind::Label, 0, 165, 1995, 1095, 270, kCyan, kBlack, 0, "Wind Speed :", -1},
    {IDC_LABEL9, "Label9", ControlKind::Label, 0, 165, 2700, 855, 270, kCyan, kBlack, 0, "Forecast :", -1},
    {IDC_TXTWTEMP, "txtWTemp", ControlKind::Label, 0, 1185, 1650, 915, 270, kCyan, kBlack, 0, "", -1},
    {IDC_TXTCOND, "txtCond", ControlKind::Label, 0, 1185, 2340, 1710, 270, kCyan, kBlack, 0, "", -1},
    {IDC_TXTTEMP, "txtTemp", ControlKind::Label, 0, 1185, 1320, 915, 270, kCyan, kBlack, 0, "", -1},
    {IDC_LABEL4, "Label4", ControlKind::Label, 0, 165, 1650, 855, 270, kCyan, kBlack, 0, "Feels Like :", -1},
    {IDC_LABEL2, "Label2", ControlKind::Label, 0, 165, 2340, 1095, 270, kCyan, kBlack, 0, "Condition :", -1},
    {IDC_LABEL1, "Label1", ControlKind::Label, 0, 165, 1320, 645, 270, kCyan, kBlack, 0, "Temp :", -1},
};
const size_t kCardControlCount = sizeof(kCardControls) / sizeof(kCardControls[0]);

const ControlSpec* FindCardControl(int id) {
    for (const ControlSpec& c : kCardControls)
        if (c.id == id) return &c;
    return nullptr;
}
