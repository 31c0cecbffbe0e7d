// ombrix-db: inspects tables and their compound indexes from the command line.
//   ombrix-db info TABLE [--key KEY] [--index FILE]...
//   ombrix-db dump TABLE [--key KEY]
//   ombrix-db walk TABLE ...   (see IndexCommands.cpp)
//   ombrix-db seek TABLE ...   (see IndexCommands.cpp)
//   ombrix-db build SOURCE OUTDIR [--plain], lookup [--db DIR] NAME..., list [--db DIR]
//                              (see DatabaseCommands.cpp)
// Results go to stdout with "\n" line ends on every platform; an engine error prints the
// engine's message on stderr and exits with 1.
#include <cstdio>
#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "tools/ombrix-db/Commands.h"

namespace ombrixdb {

const std::string& CommandLine::table() const {
    if (positional.empty()) throw std::runtime_error("ombrix-db " + command + ": no table named");
    return positional.front();
}

namespace {

constexpr const char* kUsage =
    "usage: ombrix-db info TABLE [--key KEY] [--index FILE]...\n"
    "       ombrix-db dump TABLE [--key KEY]\n"
    "       ombrix-db walk TABLE [--key KEY] --index FILE --tag NAME [options]\n"
    "       ombrix-db seek TABLE [--key KEY] --index FILE --tag NAME [options] KEYTEXT\n"
    "       ombrix-db build SOURCE OUTDIR [--plain]\n"
    "       ombrix-db lookup [--db DIR] NAME...\n"
    "       ombrix-db list [--db DIR]\n";

CommandLine parse(int argc, char** argv) {
    CommandLine cl;
    cl.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw std::runtime_error("ombrix-db: " + a + " needs a value");
            return argv[++i];
        };
        if (a.rfind("--", 0) != 0 || a.size() == 2) {
            cl.positional.push_back(a);
        } else if (a == "--key") {
            cl.key = value();
            cl.hasKey = true;
        } else if (a == "--index") {
            cl.indexFiles.push_back(value());
        } else if (a == "--tag") {
            cl.tag = value();
        } else if (a == "--db" || a == "--keys-from") {
            cl.options[a.substr(2)] = value();
        } else if (size_t eq = a.find('='); eq != std::string::npos) {
            cl.options[a.substr(2, eq - 2)] = a.substr(eq + 1);
        } else {
            cl.flags[a.substr(2)] = "";
        }
    }
    return cl;
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
    try {
        CommandLine cl = parse(argc, argv);
        int rc;
        if (cl.command == "info") rc = cmdInfo(cl, std::cout);
        else if (cl.command == "dump") rc = cmdDump(cl, std::cout);
        else if (cl.command == "walk") rc = cmdWalk(cl, std::cout);
        else if (cl.command == "seek") rc = cmdSeek(cl, std::cout);
        else if (cl.command == "build") rc = cmdBuild(cl, std::cout);
        else if (cl.command == "lookup") rc = cmdLookup(cl, std::cout);
        else if (cl.command == "list") rc = cmdList(cl, std::cout);
        else {
            std::cerr << "ombrix-db: unknown command " << cl.command << "\n" << kUsage;
            return 2;
        }
        std::cout.flush();
        return rc;
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << e.what() << "\n";
        return 1;
    }
}
