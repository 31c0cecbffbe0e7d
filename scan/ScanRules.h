// Which running processes the scan stops: the white list, the keylogger table with its
// protected names and the black list, in that order of precedence; and what the log says
// about a stop. No system call here, so it is tested and measured on its own.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "settings/ProcessList.h"

namespace scan {

class ScanRules {
public:
    // The keylogger table's answer for a process name; it may raise (a closed table).
    using TableLookup = std::function<bool(const std::string& processName)>;

    // The lists are used in place: every examination sorts them.
    ScanRules(settings::ProcessList& whiteList, bool enabledWhite, settings::ProcessList& blackList, bool enabledBlack,
              TableLookup isKeylogger);

    // Whether the process must be stopped. Every examination costs the same lookups,
    // whatever their answers: both lists are sorted, each list whose switch is on is
    // searched, and the table is asked. The protected names are tested after a table hit
    // only. An error from the table passes through.
    bool mustStop(const std::string& processName) const;
    // Whether the white list, with its switch on, holds the name: such a process is never
    // reported either.
    bool whiteListed(const std::string& processName) const;

private:
    settings::ProcessList& whiteList_;
    settings::ProcessList& blackList_;
    bool enabledWhite_;
    bool enabledBlack_;
    TableLookup isKeylogger_;
};

// What a stop of one name met: the running processes it reached and those of them that the
// system agreed to terminate; or, when the system refused the stop its own snapshot of the
// running processes, the system's text for that, and then nothing was tried at all.
struct StopOutcome {
    int matched = 0;
    int terminated = 0;
    std::optional<std::string> snapshotFailure;

    // Whether nothing of that name is left running by the stop's doing: a process was
    // terminated, or the stop's snapshot showed none running any more (an earlier stop in
    // the same walk ended it). Processes that were all refused make a failed stop, and so
    // does a snapshot that could not be taken: finding nothing then proves nothing.
    bool ended() const noexcept { return !snapshotFailure && (terminated > 0 || matched == 0); }
};

// The two operation-log lines written after a stop of `name`. A stop that did not end what
// it reached says so instead of claiming the stop, with the system's reason when the stop
// could not even see the running processes.
std::array<std::string, 2> stopLogLines(const std::string& name, const StopOutcome& outcome);

// The notice of one scan that met something: the names it stopped, those it could not
// stop, and the processes with Windows' names from another folder ("name (path)"), a line
// each kind; empty when it met nothing.
std::string scanNoticeText(const std::vector<std::string>& stopped, const std::vector<std::string>& notStopped,
                           const std::vector<std::string>& misplaced);

}  // namespace scan
