// teqc: compiles the TEQ text form into TEQ picture files, prints TEQ files
// as text, and renders them into PNG pictures with the panel's own reader and
// objects.
//
//   teqc build SOURCE -o FILE.teq [--strict]
//   teqc dump FILE.teq [-o FILE.teqt]
//   teqc render FILE.teq -o FILE.png [--size WxH] [--co NAME=VALUE]... [--ppo NAME=VALUE]...
//   teqc --help | -h | --version
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/version.h"
#include "teq_render.h"
#include "teq_runtime.h"
#include "teq_text.h"

namespace {

constexpr char kUsage[] =
    "usage: teqc build SOURCE -o FILE.teq [--strict]\n"
    "       teqc dump FILE.teq [-o FILE.teqt]\n"
    "       teqc render FILE.teq -o FILE.png [--size WxH] [--co NAME=VALUE]... [--ppo NAME=VALUE]...\n"
    "       teqc --help | -h | --version\n";

int usage()
{
    std::cerr << kUsage;
    return 2;
}

// --help and -h print the usage, --version the version, on standard output;
// true when argument was one of them.
bool informed(const std::string &argument)
{
    if (argument == "--help" || argument == "-h") std::cout << kUsage;
    else if (argument == "--version") std::cout << "teqc " << SYS_VERSION_TEXT << "\n";
    else return false;
    return true;
}

bool readWhole(const std::string &path, std::string &content)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    content = text.str();
    return true;
}

bool writeWhole(const std::string &path, const std::string &content)
{
    std::ofstream out(path, std::ios::binary);
    out << content;
    return static_cast<bool>(out.flush());
}

struct Options {
    std::string input, output, size;
    teqc::PresetValues values;
    bool strict = false; // build: a warning fails the build
};

// NAME=VALUE, split at the first "="; the name may not be empty.
bool parseNamedValue(const std::string &text, std::vector<teqc::NamedValue> &list)
{
    size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0) return false;
    list.push_back({text.substr(0, equals), text.substr(equals + 1)});
    return true;
}

bool parseOptions(const std::vector<std::string> &args, Options &options)
{
    for (size_t i = 0; i < args.size(); i++) {
        if ((args[i] == "-o" || args[i] == "--size") && i + 1 < args.size()) {
            (args[i] == "-o" ? options.output : options.size) = args[i + 1];
            i++;
        } else if ((args[i] == "--co" || args[i] == "--ppo") && i + 1 < args.size()) {
            if (!parseNamedValue(args[i + 1], args[i] == "--co" ? options.values.containers : options.values.points))
                return false;
            i++;
        } else if (args[i] == "--strict") {
            options.strict = true;
        } else if (options.input.empty() && !args[i].empty() && args[i][0] != '-') {
            options.input = args[i];
        } else {
            return false;
        }
    }
    return !options.input.empty();
}

int build(const Options &options)
{
    std::string source;
    if (options.output.empty()) return usage();
    if (!readWhole(options.input, source)) {
        std::cerr << "teqc: cannot read " << options.input << "\n";
        return 1;
    }
    std::string bytes;
    try {
        bytes = teqc::buildTeq(source);
    } catch (const teqc::TextError &e) {
        std::cerr << options.input << ":" << e.what() << "\n";
        return 1;
    }
    if (!writeWhole(options.output, bytes)) {
        std::cerr << "teqc: cannot write " << options.output << "\n";
        return 1;
    }
    teqc::HeadlessDisplay display(320, 240);
    teqc::ReaderResult check = teqc::runReader(bytes);
    if (!check.accepted)
        std::cerr << "teqc: warning: the panel refuses " << options.output << " at byte " << check.offset << ":\n"
                  << check.messages;
    if (check.dropped > 0)
        std::cerr << "teqc: warning: " << options.output << " holds " << check.objects + check.dropped
                  << " objects; the panel shows the first " << check.objects << " and drops " << check.dropped << "\n";
    bool warned = !check.accepted || check.dropped > 0;
    if (warned && options.strict) {
        std::remove(options.output.c_str());
        return 1;
    }
    return 0;
}

int dump(const Options &options)
{
    std::string bytes;
    if (!readWhole(options.input, bytes)) {
        std::cerr << "teqc: cannot read " << options.input << "\n";
        return 1;
    }
    teqc::HeadlessDisplay display(320, 240);
    teqc::ReaderResult check = teqc::runReader(bytes);
    if (!check.accepted) {
        std::cerr << check.messages << options.input << ": unreadable, reading stopped at byte offset " << check.offset
                  << "\n";
        return 1;
    }
    std::string text = teqc::dumpTeq(bytes);
    if (options.output.empty()) {
        std::cout << text;
        return 0;
    }
    if (!writeWhole(options.output, text)) {
        std::cerr << "teqc: cannot write " << options.output << "\n";
        return 1;
    }
    return 0;
}

} // namespace

int render(const Options &options)
{
    if (options.output.empty()) return usage();
    int width = 0, height = 0;
    if (!options.size.empty() && (std::sscanf(options.size.c_str(), "%dx%d", &width, &height) != 2 || width < 1 ||
                                  height < 1 || width > 4096 || height > 4096))
        return usage();
    std::string bytes;
    if (!readWhole(options.input, bytes)) {
        std::cerr << "teqc: cannot read " << options.input << "\n";
        return 1;
    }
    std::string messages;
    if (!teqc::renderPicture(bytes, options.output, width, height, options.values, messages)) {
        std::cerr << messages << "teqc: cannot render " << options.input << "\n";
        return 1;
    }
    return 0;
}

int main(int argc, char **argv)
{
    if (argc == 2 && informed(argv[1])) return 0;
    if (argc < 3) return usage();
    std::string command = argv[1];
    Options options;
    if (!parseOptions(std::vector<std::string>(argv + 2, argv + argc), options)) return usage();
    bool presets = !options.values.containers.empty() || !options.values.points.empty();
    if (presets && command != "render") return usage();
    if (options.strict && command != "build") return usage();
    try {
        if (command == "build") return build(options);
        if (command == "dump") return dump(options);
        if (command == "render") return render(options);
    } catch (const std::exception &e) {
        std::cerr << "teqc: " << e.what() << "\n";
        return 1;
    }
    return usage();
}
