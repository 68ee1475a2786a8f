// The point lists the dialog held when it last closed, kept in the user's state folder so
// that closing never loses them, with the source and frame size they were picked on.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct LastPoints {
    std::vector<std::string> input, output;  // the lists' entries, "x,y" as shown
    std::string source;                      // as --source names it; empty for the first camera
    int frameWidth = 0;                      // 0 while no frame was known
    int frameHeight = 0;
};

// plandis/lastPoints.json in $XDG_STATE_HOME, or in ~/.local/state when that is unset or not
// an absolute path; empty when neither is known.
std::string lastPointsPath();

// Writes the file atomically, making its folders first. False when that failed.
bool saveLastPoints(const LastPoints& points);

// Reads the file back: nothing with no problem when none was saved, nothing with what is
// wrong with the file when it cannot be read.
std::optional<LastPoints> loadLastPoints(std::string& problem);
