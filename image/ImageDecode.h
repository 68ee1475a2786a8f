// Picture files for the views. The BMP files Image reads as they are stored (uncompressed
// 24-bit, and 8-bit with the grey-ramp palette this program writes) keep their bytes; every
// other BMP, and PNG, JPEG and GIF files, go through Qt's image reader and become a 24-bit
// picture of blue, green, red bytes. This is the one piece of image/ besides drawing that
// needs Qt.
#pragma once

#include <string>

class Image;

// Fills picture (8 or 24 bits, bottom line first, as Image holds it) from the file at path,
// and header with the header text shown to the user: the BMP file's own values, or for
// PNG, JPEG and GIF those of the 24-bit picture the file became. False when
// the file cannot be decoded or is beyond Image's size limits; picture is then not to be
// used.
bool loadPicture(const char* path, Image& picture, std::string& header);
