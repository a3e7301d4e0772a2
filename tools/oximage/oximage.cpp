// oximage: checks, converts and transforms picture files through the
// engine's handler registry, so every format the viewer reads works here.
//
//   oximage info FILE...                      one line per file
//   oximage convert IN OUT [--max WxH] [--quality Q]
//   oximage transform FILE [--rotate 1|2|3] [--comment TEXT]
//
// Exit code 0 on success, 1 when a file failed, 2 for a wrong command line.
#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/core/strings.h"
#include "oxengine/image/handler.h"
#include "oxengine/image/replacefile.h"
#include "oxengine/storage/files.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

void printUsage(std::FILE* stream)
{
    std::fputs(oxGetTranslation("usage: oximage info FILE...\n"
                                "       oximage convert IN OUT [--max WxH] [--quality Q]\n"
                                "       oximage transform FILE [--rotate 1|2|3] [--comment TEXT]\n"),
               stream);
}

int usage(const std::string& problem)
{
    if (!problem.empty())
        std::fprintf(stderr, "oximage: %s\n", problem.c_str());
    printUsage(stderr);
    return EXIT_USAGE;
}

// One line per file: messages with line breaks or tabs are flattened.
std::string oneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    }
    return text;
}

// The message without the file name (the caller prints the name itself).
std::string messageOf(const std::exception& e)
{
    if (const auto* ox = dynamic_cast<const oxException*>(&e))
        return ox->oxException::getMessage();
    return e.what();
}

void reportFailure(const std::string& file, const std::exception& e)
{
    std::fprintf(stderr, "oximage: %s: %s\n", file.c_str(), oneLine(messageOf(e)).c_str());
}

const char* sampleTypeName(oxSampleType type)
{
    switch (type) {
    case ST_UINT8:
        return "uint8";
    case ST_HALF:
        return "half";
    case ST_UINT16:
        return "uint16";
    default:
        return "float";
    }
}

std::optional<long> number(const std::string& text, long min, long max)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 9)
        return std::nullopt;
    const long value = std::stol(text);
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

int info(const std::vector<std::string>& files)
{
    if (files.empty())
        return usage(oxGetTranslation("no file given"));
    int status = 0;
    for (const std::string& file : files) {
        try {
            const auto image = oxImageRegistry::instance().loadImage(file, oxSize());
            std::printf("%s\tok\t%ux%u\t%s\t%d\t%zu\n", file.c_str(), image->width(), image->height(),
                        sampleTypeName(image->sampleType()), image->components(), image->comment().size());
        } catch (const std::exception& e) {
            std::printf("%s\terror\t%s\n", file.c_str(), oneLine(messageOf(e)).c_str());
            status = EXIT_FAILED;
        }
        std::fflush(stdout);
    }
    return status;
}

int convert(const std::vector<std::string>& args)
{
    std::vector<std::string> files;
    oxSize maximum;
    std::optional<long> quality;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--max" || args[i] == "--quality") {
            if (i + 1 == args.size())
                return usage(formatString(oxGetTranslation("%s needs a value"), args[i].c_str()));
            const std::string& value = args[++i];
            if (args[i - 1] == "--quality") {
                quality = number(value, 1, 100);
                if (!quality)
                    return usage(oxGetTranslation("the quality is a number from 1 to 100"));
                continue;
            }
            const size_t x = value.find('x');
            const auto w = number(value.substr(0, x), 1, 1000000000);
            const auto h = x == std::string::npos ? std::nullopt : number(value.substr(x + 1), 1, 1000000000);
            if (!w || !h)
                return usage(oxGetTranslation("the maximum size is written WIDTHxHEIGHT, for example 1920x1080"));
            maximum = oxSize(int32_t(*w), int32_t(*h));
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() != 2)
        return usage(oxGetTranslation("convert needs an input and an output file"));
    if (quality)
        setImageOption("Quality", int(*quality));
    try {
        const auto image = oxImageRegistry::instance().loadImage(files[0], maximum);
        try {
            oxImageRegistry::instance().saveImage(*image, files[1], oxToneMapping::neutral());
        } catch (const std::exception& e) {
            reportFailure(files[1], e);
            return EXIT_FAILED;
        }
    } catch (const std::exception& e) {
        reportFailure(files[0], e);
        return EXIT_FAILED;
    }
    return 0;
}

int transform(const std::vector<std::string>& args)
{
    std::vector<std::string> files;
    oxImageTransform change;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--rotate" || args[i] == "--comment") {
            if (i + 1 == args.size())
                return usage(formatString(oxGetTranslation("%s needs a value"), args[i].c_str()));
            if (args[i] == "--rotate") {
                const auto turns = number(args[++i], 1, 3);
                if (!turns)
                    return usage(oxGetTranslation("the rotation is 1, 2 or 3 quarter turns clockwise"));
                change.rotation = int32_t(*turns);
            } else {
                change.setComment = true;
                change.comment = args[++i];
            }
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() != 1)
        return usage(oxGetTranslation("transform needs exactly one file"));
    if (change.rotation == 0 && !change.setComment)
        return usage(oxGetTranslation("transform needs --rotate or --comment"));
    try {
        oxImageRegistry::instance().transformFile(files[0], change);
    } catch (const std::exception& e) {
        reportFailure(files[0], e);
        return EXIT_FAILED;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        oxIgnoreFileSizeSignal();
        oxFilename::initialize();
        if (argc < 2)
            return usage(std::string());
        const std::string command = argv[1];
        const std::vector<std::string> args(argv + 2, argv + argc);
        if (command == "info")
            return info(args);
        if (command == "convert")
            return convert(args);
        if (command == "transform")
            return transform(args);
        if (command == "-h" || command == "--help") {
            printUsage(stdout);
            return 0;
        }
        return usage(formatString(oxGetTranslation("unknown command \"%s\""), command.c_str()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "oximage: %s\n", oneLine(messageOf(e)).c_str());
        return EXIT_FAILED;
    }
}
