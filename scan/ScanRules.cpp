// The decision about one process name, and the log lines of a stop.
#include "scan/ScanRules.h"

#include <utility>

#include "scan/ProcessName.h"

namespace scan {

ScanRules::ScanRules(settings::ProcessList& whiteList, bool enabledWhite, settings::ProcessList& blackList,
                     bool enabledBlack, TableLookup isKeylogger)
    : whiteList_(whiteList),
      blackList_(blackList),
      enabledWhite_(enabledWhite),
      enabledBlack_(enabledBlack),
      isKeylogger_(std::move(isKeylogger)) {}

bool ScanRules::mustStop(const std::string& processName) const {
    // A list whose switch is off is still sorted, as a searched one is, so the order of the
    // lists in memory never depends on the switches.
    bool white = false;
    if (enabledWhite_)
        white = whiteList_.contains(processName);
    else
        whiteList_.sort();
    bool keylogger = isKeylogger_(processName);
    bool black = false;
    if (enabledBlack_)
        black = blackList_.contains(processName);
    else
        blackList_.sort();

    if (white) return false;
    if (keylogger && !isProtectedName(processName)) return true;
    return black;
}

std::string scanNoticeText(const std::vector<std::string>& stopped, const std::vector<std::string>& notStopped,
                           const std::vector<std::string>& misplaced) {
    std::string text;
    auto line = [&](const char* what, const std::vector<std::string>& names) {
        if (names.empty()) return;
        if (!text.empty()) text += '\n';
        text += what;
        for (size_t i = 0; i < names.size(); ++i) text += (i ? ", " : " ") + names[i];
    };
    line("Keylogger stopped:", stopped);
    line("Could not be stopped:", notStopped);
    line("Windows process name running from another folder:", misplaced);
    return text;
}

bool ScanRules::whiteListed(const std::string& processName) const {
    return enabledWhite_ && whiteList_.contains(processName);
}

std::array<std::string, 2> stopLogLines(const std::string& name, const StopOutcome& outcome) {
    std::string second = name + (outcome.ended() ? " have been stop" : " could not be stopped");
    if (outcome.snapshotFailure) second += ": " + *outcome.snapshotFailure;
    return {"Found keylogger " + name, second};
}

}  // namespace scan
