#include "model/trouble_kinds.h"

namespace {

std::string Wait(const char* lead, int seconds) { return lead + std::to_string(seconds < 1 ? 1 : seconds) + " s"; }

}  // namespace

std::string TroubleLine(Trouble t, int seconds) {
    switch (t) {
        case Trouble::Unreachable: return "Weather source unreachable";
        case Trouble::SourceError: return "Weather source gave an error";
        case Trouble::SourcePaused: return Wait("Weather source paused for ", seconds);
        case Trouble::MinuteUsedUp: return Wait("Weather calls used up; wait ", seconds);
        case Trouble::HourUsedUp: return "This hour's weather calls are used up";
        case Trouble::DayUsedUp: return "Today's weather calls are used up";
        case Trouble::Busy: return Wait("Weather source busy; wait ", seconds);
        case Trouble::SearchBusy: return Wait("Place search busy; wait ", seconds);
        case Trouble::ClientAllowance: return Wait("Too many new places; wait ", seconds);
        case Trouble::SystemLacksTls12: return "Windows needs update KB3140245";
        case Trouble::ProxyNeedsPassword: return "The proxy asks for a password";
        case Trouble::None: break;
    }
    return "Weather source unavailable";
}

const char* TroubleDetail(Trouble t) {
    switch (t) {
        case Trouble::SystemLacksTls12:
            return "This Windows cannot use TLS 1.2, which the weather source requires: install update "
                   "KB3140245 (Windows 7 SP1 and 8.0), then start the program again.";
        case Trouble::ProxyNeedsPassword:
            return "The proxy between this computer and the weather source asks for a password (407), and the "
                   "Windows logon offered to it was not accepted. Ask your administrator for a proxy that lets "
                   "this program through, or set one with proxy= in cloudwick-feed.conf.";
        case Trouble::Unreachable:
            return "The weather source did not answer (no connection, a time-out or an unknown name), and nothing "
                   "is kept for this request yet.";
        case Trouble::SourceError:
            return "The weather source answered with an error or with something unreadable, and nothing is kept "
                   "for this request yet.";
        case Trouble::SourcePaused:
            return "The weather source asked to be left alone for a while (or did not answer); no call is made "
                   "to it until the time in Retry-After has passed.";
        case Trouble::MinuteUsedUp:
        case Trouble::HourUsedUp:
        case Trouble::DayUsedUp:
            return "This service keeps its calls to the weather source within the source's free limits, and "
                   "they are used up until the time in Retry-After.";
        case Trouble::Busy:
            return "Calls to the weather source are made one at a time and too many are waiting for their turn.";
        case Trouble::SearchBusy:
            return "The place search asks its geocoder at most once a second and too many searches are waiting.";
        case Trouble::ClientAllowance:
            return "Too many requests for new places from this address. Places already shown keep their weather.";
        case Trouble::None: break;
    }
    return "The weather source is not available.";
}

int TroubleStatus(Trouble t) { return t == Trouble::ClientAllowance ? 429 : 503; }
