#include "options/options_layout.h"

namespace {
const Rgb kBlack{0, 0, 0};
const Rgb kWhite{255, 255, 255};
const Rgb kDarkGrey{27, 31, 30};
const Rgb kSilver{192, 192, 192};
const Rgb kLightCyan{128, 255, 255};
}

// In creation order; a control inside a frame follows it.
const ControlSpec kOptionsControls[] = {
    {IDC_FRAME3, "Frame3", ControlKind::Frame, 0, 45, -45, 3495, 1740, kSilver, kDarkGrey, kFramed, "", 9},
    {IDC_CBOREFRESH, "cboRefresh", ControlKind::DropList, IDC_FRAME3, 1080, 1155, 1575, 315, kBlack, kWhite, 0, "", 14},
    {IDC_CHKONTRAY, "chkOnTray", ControlKind::CheckBox, IDC_FRAME3, 240, 615, 3015, 255, kWhite, kDarkGrey, 0, "Start minimized in System Tray", 11},
    {IDC_CHKONSTART, "chkOnStart", ControlKind::CheckBox, IDC_FRAME3, 240, 240, 3015, 255, kWhite, kDarkGrey, 0, "Start on Windows", 10},
    {IDC_OPT_LABEL5, "Label5", ControlKind::Label, IDC_FRAME3, 240, 1185, 735, 255, kWhite, kDarkGrey, 0, "Refresh", 13},
    {IDC_CMDOK, "cmdOK", ControlKind::Button, 0, 5160, 4290, 1095, 375, kBlack, kWhite, 0, "Okay", 8},
    {IDC_COMMAND2, "Command2", ControlKind::Button, 0, 3780, 4305, 1095, 375, kBlack, kWhite, 0, "Cancel", 7},
    {IDC_FRAME2, "Frame2", ControlKind::Frame, 0, 3630, 2760, 2820, 1215, kSilver, kDarkGrey, kFramed, "Units", 4},
    {IDC_OPTC, "optC", ControlKind::OptionButton, IDC_FRAME2, 900, 705, 1695, 255, kWhite, kDarkGrey, 0, "Celsius, Kmph", 6},
    {IDC_OPTF, "optF", ControlKind::OptionButton, IDC_FRAME2, 900, 330, 1815, 255, kWhite, kDarkGrey, 0, "Fahrenheit, Mph", 5},
    {IDC_OPT_FRAME1, "Frame1", ControlKind::Frame, 0, 45, 1755, 3495, 2220, kSilver, kDarkGrey, kFramed, "Select your location", 0},
    {IDC_COMMAND1, "Command1", ControlKind::Button, IDC_OPT_FRAME1, 2835, 390, 495, 290, kBlack, kWhite, 0, "Find", 3},
    {IDC_TXTWORD, "txtWord", ControlKind::TextBox, IDC_OPT_FRAME1, 210, 390, 2565, 270, kBlack, kWhite, kDesignFont, "", 2},
    {IDC_OPT_LABEL3, "Label3", ControlKind::Label, IDC_OPT_FRAME1, 270, 1170, 2055, 255, kWhite, kDarkGrey, 0, "Your current location is :", 16},
    {IDC_TXTLOCATION, "txtLocation", ControlKind::Label, IDC_OPT_FRAME1, 345, 1485, 2895, 465, kLightCyan, kDarkGrey, 0, "", 12},
    {IDC_OPT_LABEL1, "Label1", ControlKind::Label, IDC_OPT_FRAME1, 270, 795, 3015, 255, kWhite, kDarkGrey, 0, "Enter your city or  zip / pin  or landmark...", 1},
    {IDC_LBLABOUT, "lblAbout", ControlKind::Label, 0, 3600, 120, 2295, 2535, kWhite, kBlack, kCentred | kSeeThrough, " Cloudwick 1.0", 15},
};
const size_t kOptionsControlCount = sizeof(kOptionsControls) / sizeof(kOptionsControls[0]);
