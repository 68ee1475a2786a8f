#include "cli/commandLine.h"

#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <thread>
#include <vector>

#include "app/resource.h"
#include "cli/batchRectify.h"

namespace {

constexpr const char* usage =
    "Usage: plandis [--calibration FILE]\n"
    "       plandis rectify --calibration FILE [--jobs N] INPUT... --output DIR\n"
    "       plandis --help | --version\n"
    "\n"
    "Without a command, the calibration dialog starts; --calibration loads FILE into it.\n"
    "rectify warps BMP, PNG and JPEG pictures through the calibration's homography into DIR,\n"
    "each in its own format, N at a time (default: one per processor core).\n";

// Bad use of the command line: one line, status 2.
CommandLine misuse(std::ostream& err, const std::string& problem) {
    err << "plandis: " << problem << " (see plandis --help)\n";
    return {2, {}};
}

CommandLine rectify(const std::vector<std::string>& args, std::ostream& err) {
    BatchJob job;
    job.jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::string calibration;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool valued = arg == "--calibration" || arg == "--jobs" || arg == "--output";
        if (valued && i + 1 == args.size()) {
            return misuse(err, arg + " needs a value");
        }
        if (arg == "--calibration") {
            calibration = args[++i];
        } else if (arg == "--output") {
            job.outputFolder = args[++i];
        } else if (arg == "--jobs") {
            const std::string& value = args[++i];
            const auto [end, error] =
                std::from_chars(value.data(), value.data() + value.size(), job.jobs);
            if (error != std::errc() || end != value.data() + value.size() || job.jobs < 1 ||
                job.jobs > 1024) {
                return misuse(err,
                              "--jobs needs a whole number from 1 to 1024, not '" + value + "'");
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return misuse(err, "unknown option '" + arg + "'");
        } else {
            job.inputs.push_back(arg);
        }
    }
    if (calibration.empty() || job.outputFolder.empty() || job.inputs.empty()) {
        return misuse(err, "rectify needs --calibration FILE, pictures and --output DIR");
    }
    const std::string problem = loadCalibration(calibration.c_str(), job.calibration);
    if (!problem.empty()) {
        err << "plandis: " << calibration << ": " << problem << "\n";
        return {1, {}};
    }
    std::error_code error;
    std::filesystem::create_directories(job.outputFolder, error);
    if (!std::filesystem::is_directory(job.outputFolder)) {
        err << "plandis: " << job.outputFolder << ": not a folder that can be made\n";
        return {1, {}};
    }
    const bool terminal = ::isatty(STDERR_FILENO) != 0;
    return {rectifyFiles(job, err, terminal ? &err : nullptr) == 0 ? 0 : 1, {}};
}

}  // namespace

CommandLine runCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err) {
    const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
    if (args.empty()) {
        return {};
    }
    if (args[0] == "rectify") {
        return rectify(args, err);
    }
    if (args[0] == "--help" && args.size() == 1) {
        out << usage;
        return {0, {}};
    }
    if (args[0] == "--version" && args.size() == 1) {
        out << "plandis " << versionNumber << "\n"
            << "FileVersion 1, 0, 0, 1\nProductVersion 1, 0, 0, 1\n"
            << "FileDescription Veltro MFC 응용 프로그램\nInternalName Veltro\n"
            << "OriginalFilename Veltro.EXE\nProductName Veltro 응용 프로그램\n";
        return {0, {}};
    }
    if (args[0] == "--calibration") {
        if (args.size() != 2) {
            return misuse(err, args.size() < 2 ? "--calibration needs a value"
                                               : "unexpected argument '" + args[2] + "'");
        }
        return {std::nullopt, args[1]};
    }
    return misuse(err,
                  (args[0][0] == '-' ? "unknown option '" : "unknown command '") + args[0] + "'");
}
