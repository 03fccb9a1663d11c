#include "commands.h"

#include <QCoreApplication>
#include <cstdio>
#include <functional>
#include <iostream>
#include <map>

namespace voltrane::probe {

int fail(const std::string& message) {
    std::cerr << "voltrane-probe: " << message << '\n';
    return 2;
}

} // namespace voltrane::probe

namespace {

using Command = std::function<int(const voltrane::probe::Arguments&)>;

const std::map<std::string, Command>& commands() {
    static const std::map<std::string, Command> table{
        {"flow", voltrane::probe::flowCommand},       {"", voltrane::probe::liveCommand},
        {"watch", voltrane::probe::watchCommand},     {"decode", voltrane::probe::decodeCommand},
        {"texts", voltrane::probe::textsCommand},     {"render", voltrane::probe::renderCommand},
        {"history", voltrane::probe::historyCommand},
    };
    return table;
}

void printUsage() {
    std::cerr
        << "usage: voltrane-probe [watch | decode FILE | flow FILE | texts FILE | render FILE --out PNG |\n"
           "                      history [--since SPAN] [--csv] [--health] [--file PATH]]\n";
}

} // namespace

int main(int argc, char** argv) {
    const voltrane::probe::Arguments all(argv + 1, argv + argc);
    const std::string name = all.empty() ? std::string() : all.front();
    const auto found = commands().find(name);
    if (found == commands().end()) {
        printUsage();
        return voltrane::probe::fail(name.empty() ? "no live source is built into this probe"
                                                  : "unknown command \"" + name + "\"");
    }
    // Commands that render need a GUI application; they create their own before this one.
    std::unique_ptr<QCoreApplication> app;
    if (name != "render") {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    const voltrane::probe::Arguments rest(all.empty() ? all.begin() : all.begin() + 1, all.end());
    return found->second(rest);
}
