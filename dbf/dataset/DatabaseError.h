// The data set's own error class and its messages: failures of the data-set layer that are
// not the engine's (those pass through as ETableError, ETableEncryption, ETableExpression).
#pragma once

#include <stdexcept>
#include <string>

namespace dbf {

class EDatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

namespace msg {
inline constexpr const char* kDataSetClosed = "Cannot perform this operation on a closed dataset";
inline constexpr const char* kDataSetOpen = "Cannot perform this operation on an open dataset";
inline constexpr const char* kTableNameMissing = "Table name missing";
inline constexpr const char* kCannotFindFile = "Cannot find file ";      // + the path
inline constexpr const char* kErrorGetting = "Error getting ";           // + the index file
inline constexpr const char* kNoIndexForFind = "No index is assigned for Find operation";
inline constexpr const char* kBusyBuildingIndex = "Table is busy building an index";
inline constexpr const char* kBusyCopying = "Table is busy copying";
inline constexpr const char* kRecordBeyondRange = "Record request beyond range of table";
}  // namespace msg

}  // namespace dbf
