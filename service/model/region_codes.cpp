#include "model/region_codes.h"

#include <cctype>

namespace {

struct State {
    const char* name;
    const char* code;
};

const State kStates[] = {
    {"Alabama", "AL"}, {"Alaska", "AK"}, {"Arizona", "AZ"}, {"Arkansas", "AR"},
    {"California", "CA"}, {"Colorado", "CO"}, {"Connecticut", "CT"}, {"Delaware", "DE"},
    {"District of Columbia", "DC"}, {"Washington, D.C.", "DC"}, {"Florida", "FL"}, {"Georgia", "GA"},
    {"Hawaii", "HI"}, {"Idaho", "ID"}, {"Illinois", "IL"}, {"Indiana", "IN"}, {"Iowa", "IA"},
    {"Kansas", "KS"}, {"Kentucky", "KY"}, {"Louisiana", "LA"}, {"Maine", "ME"}, {"Maryland", "MD"},
    {"Massachusetts", "MA"}, {"Michigan", "MI"}, {"Minnesota", "MN"}, {"Mississippi", "MS"},
    {"Missouri", "MO"}, {"Montana", "MT"}, {"Nebraska", "NE"}, {"Nevada", "NV"},
    {"New Hampshire", "NH"}, {"New Jersey", "NJ"}, {"New Mexico", "NM"}, {"New York", "NY"},
    {"North Carolina", "NC"}, {"North Dakota", "ND"}, {"Ohio", "OH"}, {"Oklahoma", "OK"},
    {"Oregon", "OR"}, {"Pennsylvania", "PA"}, {"Puerto Rico", "PR"}, {"Rhode Island", "RI"},
    {"South Carolina", "SC"}, {"South Dakota", "SD"}, {"Tennessee", "TN"}, {"Texas", "TX"},
    {"Utah", "UT"}, {"Vermont", "VT"}, {"Virginia", "VA"}, {"Washington", "WA"},
    {"West Virginia", "WV"}, {"Wisconsin", "WI"}, {"Wyoming", "WY"},
};

}  // namespace

std::string UsStateCode(const std::string& stateName) {
    for (const State& s : kStates) {
        if (stateName == s.name) return s.code;
    }
    return "";
}

std::string RegionCode(const std::string& countryCode, const std::string& admin1) {
    if (countryCode == "US") {
        const std::string state = UsStateCode(admin1);
        if (!state.empty()) return state;
    }
    if (countryCode.size() == 2 && isalpha(static_cast<unsigned char>(countryCode[0])) &&
        isalpha(static_cast<unsigned char>(countryCode[1])))
        return {static_cast<char>(toupper(countryCode[0])), static_cast<char>(toupper(countryCode[1]))};
    return "";
}

bool IsUsStateCode(const std::string& code) {
    for (const State& s : kStates) {
        if (code == s.code) return true;
    }
    return false;
}
