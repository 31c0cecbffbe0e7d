// ombrix-db: the commands and the parsed command line they share.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace ombrixdb {

// The command line after the command word, as main reads it (main.cpp). Each command gets
// only the options it declares; an unknown option or a missing operand never reaches it.
struct CommandLine {
    // info, dump, walk, seek
    std::string table;                    // TABLE
    std::string key;                      // --key KEY; empty for a plain table
    std::vector<std::string> indexFiles;  // --index FILE, in the order given
    std::string tag;                      // --tag NAME
    bool useDeleted = false;              // --use-deleted
    // seek
    bool partial = false;                 // --partial
    bool noNear = false;                  // --no-near
    std::string keysFrom;                 // --keys-from FILE
    // seek: KEYTEXT...; lookup: NAME...
    std::vector<std::string> words;

    // build
    std::string source;                   // SOURCE
    std::string outDir;                   // OUTDIR
    bool plain = false;                   // --plain

    // lookup, list
    std::optional<std::string> db;        // --db DIR
};

// Each command writes its result to `out` and returns the process exit code. Engine errors
// (ETableError, ETableEncryption, ETableExpression) and failed file operations leave as
// exceptions; main prints their message on stderr and exits with 1.
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
