// ombrix-db walk and seek, and the tag lines of info: placeholders until the index
// commands are built.
#include <stdexcept>

#include "Commands.h"

namespace ombrixdb {

int cmdWalk(const CommandLine&, std::ostream&) { throw std::runtime_error("not built yet"); }
int cmdSeek(const CommandLine&, std::ostream&) { throw std::runtime_error("not built yet"); }
void printIndexInfo(const CommandLine&, const std::string&, std::ostream&) { throw std::runtime_error("not built yet"); }

}  // namespace ombrixdb
