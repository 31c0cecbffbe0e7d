// ombrix-db: the commands and the parsed command line they share.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace ombrixdb {

// The command line after the command word:
//   TABLE and any further plain words     -> positional (TABLE first)
//   --key KEY                             -> key, hasKey
//   --index FILE (repeatable)             -> indexFiles
//   --tag NAME                            -> tag
//   --db DIR                              -> options["db"]
//   --name=value                          -> options["name"] = value (any name)
//   --name (any other)                    -> flags["name"] = "" (a switch)
// A command that needs an option it did not get raises std::runtime_error with a usage text.
struct CommandLine {
    std::string command;
    std::vector<std::string> positional;
    std::string key;
    bool hasKey = false;
    std::vector<std::string> indexFiles;
    std::string tag;
    std::map<std::string, std::string> options;
    std::map<std::string, std::string> flags;

    const std::string& table() const;   // positional[0]; raises when missing
    bool flag(const std::string& name) const { return flags.count(name) != 0; }
};

// Each command writes its result to `out` and returns the process exit code. Engine errors
// (ETableError, ETableEncryption, ETableExpression) and usage errors leave as exceptions;
// main prints their message on stderr and exits with 1.
int cmdInfo(const CommandLine& cl, std::ostream& out);
int cmdDump(const CommandLine& cl, std::ostream& out);
int cmdWalk(const CommandLine& cl, std::ostream& out);
int cmdSeek(const CommandLine& cl, std::ostream& out);
int cmdBuild(const CommandLine& cl, std::ostream& out);
int cmdLookup(const CommandLine& cl, std::ostream& out);
int cmdList(const CommandLine& cl, std::ostream& out);

// Prints, for the index file `indexFile` opened on the table of `cl` (with its key), one
// block per tag in the index file's tag order (see IndexCommands.cpp for the lines).
void printIndexInfo(const CommandLine& cl, const std::string& indexFile, std::ostream& out);

}  // namespace ombrixdb
