// ombrix-db: inspects tables and their compound indexes from the command line.
//   ombrix-db info TABLE [--key KEY] [--index FILE]...
//   ombrix-db dump TABLE [--key KEY]
//   ombrix-db walk TABLE ...   (see IndexCommands.cpp)
//   ombrix-db seek TABLE ...   (see IndexCommands.cpp)
//   ombrix-db build SOURCE OUTDIR [--plain], lookup [--db DIR] NAME..., list [--db DIR]
//                              (see DatabaseCommands.cpp)
// Results go to stdout with "\n" line ends on every platform. "ombrix-db COMMAND --help"
// describes a command and exits with 0. A command line the tool cannot take (an unknown
// command or option, a missing or surplus operand, an option without its value) prints what
// is wrong and the usage on stderr and exits with 2, before any file is opened; "--" ends the
// options, so that a name starting with "-" is taken as a name. An engine error prints the
// engine's message on stderr and exits with 1.
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "tools/ombrix-db/Commands.h"

namespace ombrixdb {

namespace {

constexpr const char* kUsage =
    "usage: ombrix-db info TABLE [--key KEY] [--index FILE]...\n"
    "       ombrix-db dump TABLE [--key KEY]\n"
    "       ombrix-db walk TABLE [--key KEY] --index FILE --tag NAME [options]\n"
    "       ombrix-db seek TABLE [--key KEY] --index FILE --tag NAME [options] [KEYTEXT...]\n"
    "       ombrix-db build SOURCE OUTDIR [--plain]\n"
    "       ombrix-db lookup [--db DIR] NAME...\n"
    "       ombrix-db list [--db DIR]\n"
    "       ombrix-db COMMAND --help\n";

void table(CLI::App& c, CommandLine& cl) {
    c.add_option("TABLE", cl.table, "The table file (.dbf)")->required();
    c.add_option("--key", cl.key, "The table's encryption key")->type_name("KEY");
}

void tagWalk(CLI::App& c, CommandLine& cl) {
    c.add_option("--index", cl.indexFiles, "An index file to open (repeatable)")->type_name("FILE")->required();
    c.add_option("--tag", cl.tag, "The tag to use")->type_name("NAME")->required();
    c.add_flag("--use-deleted", cl.useDeleted, "Include deleted records");
}

void database(CLI::App& c, CommandLine& cl) {
    c.add_option("--db", cl.db, "The database folder (default: the current directory)")->type_name("DIR");
}

// Each command with exactly the operands and options it takes.
struct Command {
    const char* name;
    const char* description;
    void (*declare)(CLI::App&, CommandLine&);
    int (*run)(const CommandLine&, std::ostream&);
};

constexpr Command kCommands[] = {
    {"info", "Prints the table's header and fields, then the tags of each index file given.",
     [](CLI::App& c, CommandLine& cl) {
         table(c, cl);
         c.add_option("--index", cl.indexFiles, "An index file whose tags to print (repeatable)")->type_name("FILE");
     },
     cmdInfo},
    {"dump", "Prints each record: number, deleted mark (*) and field texts, tab-separated.", table, cmdDump},
    {"walk", "Prints \"RECNO<TAB>KEY\" for each record in the order of a tag.",
     [](CLI::App& c, CommandLine& cl) {
         table(c, cl);
         tagWalk(c, cl);
     },
     cmdWalk},
    {"seek",
     "Seeks each KEYTEXT, then each line of the --keys-from file, in a tag; prints \"found RECNO\", "
     "\"notfound RECNO\" or \"notfound eof\" for each.",
     [](CLI::App& c, CommandLine& cl) {
         table(c, cl);
         c.add_option("KEYTEXT", cl.words, "Keys to seek (after \"--\" when one starts with \"-\")");
         tagWalk(c, cl);
         c.add_flag("--partial", cl.partial, "A key may match the start of a longer key");
         c.add_flag("--no-near", cl.noNear, "Do not stand on the next key after a miss");
         c.add_option("--keys-from", cl.keysFrom, "Also seek each line of FILE")->type_name("FILE");
     },
     cmdSeek},
    {"build",
     "Turns the keylogger list SOURCE into keyloggerlist.dbf and keyloggerlist.cdx in OUTDIR, "
     "enciphered under the program's key.",
     [](CLI::App& c, CommandLine& cl) {
         c.add_option("SOURCE", cl.source, "The keylogger list (name<TAB>product lines)")->required();
         c.add_option("OUTDIR", cl.outDir, "The folder to write the table and index into")->required();
         c.add_flag("--plain", cl.plain, "Leave the output unenciphered, for other readers");
     },
     cmdBuild},
    {"lookup", "Prints \"hit\" or \"miss\" for each NAME, by the program's own lookup in the keylogger database.",
     [](CLI::App& c, CommandLine& cl) {
         database(c, cl);
         // Not marked required: checked after parsing, so that a name mistaken for an option
         // is reported as that option rather than as a missing NAME.
         c.add_option("NAME", cl.words, "Process names to look up (after \"--\" when one starts with \"-\")");
     },
     cmdLookup},
    {"list", "Prints the names of the keylogger database in key order.", database, cmdList},
};

const Command* findCommand(const char* word) {
    for (const Command& command : kCommands)
        if (std::strcmp(command.name, word) == 0) return &command;
    return nullptr;
}

// The words a command could not place, in the order given (CLI11's own message lists them
// last first). The "--" that ended the options is no fault of its own.
std::string unexpectedWords(const CLI::App& command) {
    std::string words;
    for (const std::string& word : command.remaining()) {
        if (word == "--") continue;
        if (!words.empty()) words += ' ';
        words += word;
    }
    return words;
}

int usageError(const std::string& where, const std::string& what) {
    std::cerr << where << ": " << what << "\n" << kUsage;
    return 2;
}

}  // namespace
}  // namespace ombrixdb

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    using namespace ombrixdb;
    if (argc < 2) {
        std::cerr << kUsage;
        return 2;
    }
    CommandLine cl;
    CLI::App app("Inspects tables and their compound indexes; builds and queries the keylogger database.",
                 "ombrix-db");
    app.require_subcommand(1);
    // A repeated option keeps its last value, as a user who corrects himself expects.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    for (const Command& c : kCommands) c.declare(*app.add_subcommand(c.name, c.description), cl);

    // The command word comes first; CLI11 would report anything else as a missing command.
    const Command* command = findCommand(argv[1]);
    if (!command) {
        const std::string word = argv[1];
        if (word == "-h" || word == "--help") {
            std::cout << app.help();
            return 0;
        }
        return usageError("ombrix-db", "unknown command " + word);
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::ExtrasError&) {
        return usageError(std::string("ombrix-db ") + command->name,
                          "not expected: " + unexpectedWords(*app.get_subcommand(command->name)));
    } catch (const CLI::ParseError& e) {
        return usageError(std::string("ombrix-db ") + command->name, e.what());
    }
    if (command->run == cmdLookup && cl.words.empty()) return usageError("ombrix-db lookup", "no NAME given");

    try {
        int rc = command->run(cl, std::cout);
        std::cout.flush();
        return rc;
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << e.what() << "\n";
        return 1;
    }
}
