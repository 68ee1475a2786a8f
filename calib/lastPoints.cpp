#include "calib/lastPoints.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "image/atomicFile.h"

using nlohmann::json;

namespace {

constexpr int kVersion = 1;
constexpr std::uintmax_t kLargest = 1 << 20;  // far above any list a hand clicks

}  // namespace

std::string lastPointsPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    std::filesystem::path folder;
    if (state != nullptr && std::filesystem::path(state).is_absolute()) {
        folder = state;
    } else if (home != nullptr && *home != '\0') {
        folder = std::filesystem::path(home) / ".local" / "state";
    } else {
        return {};
    }
    return (folder / "plandis" / "lastPoints.json").string();
}

bool saveLastPoints(const LastPoints& points) {
    const std::string path = lastPointsPath();
    std::error_code error;
    if (path.empty() ||
        (std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error),
         error)) {
        return false;
    }
    const std::string text =
        json{{"version", kVersion},
             {"source", points.source},
             {"frame", {{"width", points.frameWidth}, {"height", points.frameHeight}}},
             {"inputPoints", points.input},
             {"outputPoints", points.output}}
            .dump(2, ' ', false, json::error_handler_t::replace) +
        "\n";
    return writeFileAtomically(path.c_str(),
                               [&](int fd) { return writeAll(fd, text.data(), text.size()); });
}

std::optional<LastPoints> loadLastPoints(std::string& problem) {
    problem.clear();
    const std::string path = lastPointsPath();
    std::error_code error;
    if (path.empty() || !std::filesystem::exists(path, error)) {
        return std::nullopt;
    }
    const std::uintmax_t bytes = std::filesystem::file_size(path, error);
    if (error || bytes > kLargest) {
        problem = path + " is not a readable file of at most 1 MiB";
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    try {
        const json saved = json::parse(text);
        if (saved.at("version") != kVersion) {
            problem = path + " has a format version other than " + std::to_string(kVersion);
            return std::nullopt;
        }
        const json& frame = saved.at("frame");
        return LastPoints{saved.at("inputPoints").get<std::vector<std::string>>(),
                          saved.at("outputPoints").get<std::vector<std::string>>(),
                          saved.at("source").get<std::string>(), frame.at("width").get<int>(),
                          frame.at("height").get<int>()};
    } catch (const json::exception& bad) {
        // What the parser or the converter says, without its "[json.exception...] " tag.
        const std::string what = bad.what();
        problem = path + ": " + what.substr(what.find("] ") + 2);
        return std::nullopt;
    }
}
