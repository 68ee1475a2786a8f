// Picture files, read and written in one place for Load BMP, Save BMP, Save rectified picture
// and the rectify command. BMP files go through image/bmpDecode; PNG, JPEG, GIF and the
// other formats Qt reads through Qt's reader, becoming a 24-bit picture of blue, green, red
// bytes. This is the one piece of image/ besides drawing that needs Qt.
#pragma once

#include <string>

class Image;

enum class PictureRead { whole, cutShort, notRegular, unreadable, notPicture, otherSize };

struct PictureFile {
    std::string format;         // "bmp", or Qt's name of the format: "png", "jpeg", "gif"…
    std::string header;         // the header text Load BMP shows
    int width = 0, height = 0;  // the picture's size, read before anything is decoded
};

// What readPicture refuses before it decodes anything.
struct PictureWanted {
    int width = 0, height = 0;  // when set: a picture of another size (otherSize)
    bool whole = false;         // a file that ends before its picture does (cutShort)
};

// Fills picture (8-bit grey levels for a BMP whose bytes are its grey levels, else 24-bit;
// bottom line first, as Image holds it) and file from the file at path. Only a regular file
// is opened, and without blocking. A file cut short gives cutShort with the picture it holds
// (the rest black); refused files leave picture not to be used. Sizes are checked against
// Image's limits before anything is allocated.
PictureRead readPicture(const char* path, Image& picture, PictureFile& file,
                        const PictureWanted& wanted = {});

// Load BMP's reading: true for a picture to show, header being its header text.
bool loadPicture(const char* path, Image& picture, std::string& header);

// The format of the picture file at path by its first bytes: "bmp", "png"…; empty for a file
// that is not a regular one or not a picture.
std::string pictureFormat(const char* path);

// The format a picture of this format is saved in: its own when it can be written, else
// "png".
std::string savedFormat(const std::string& format);

// Writes packed rows (top line first, width × channels bytes; channels 1: grey, 3: blue,
// green, red) as a file of format ("bmp": an 8-bit grey-ramp or 24-bit BMP; "jpeg" at
// quality 95; grey stays grey in every format). Written beside the target and renamed over
// it as Image::writeBmp does. False when any step fails.
bool savePicture(const char* path, const std::string& format, const unsigned char* rows, int width,
                 int height, int channels);
