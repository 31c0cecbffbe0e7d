// The pass-through list's file.
#include "settings/PassThroughList.h"

#include "settings/ListText.h"
#include "settings/TextCompare.h"

namespace settings {

namespace {

bool names(std::string_view fileText, std::string_view programName) {
    ProcessList lines(&compareTextIgnoringCase);
    lines.assign(splitListLines(fileText));
    return lines.contains(programName);
}

}  // namespace

std::string PassThroughList::text() const { return file_.exists() ? file_.read() : std::string(); }

bool PassThroughList::holds(std::string_view programName) const { return names(text(), programName); }

void PassThroughList::add(std::string_view programName) const {
    const std::string before = text();
    if (!names(before, programName)) file_.replace(withLineAdded(before, programName));
}

void PassThroughList::remove(std::string_view programName) const {
    const std::string before = text();
    if (names(before, programName)) file_.replace(withLinesRemoved(before, programName, &compareTextIgnoringCase));
}

}  // namespace settings
