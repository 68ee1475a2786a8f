// The warp of a whole picture, not tied to the shared frame state: the batch rectification
// runs it on many pictures at once.
#pragma once

// Warps a packed picture of `channels` interleaved 8-bit channels (rows of width × channels
// bytes, no padding) through h (row-major, output pixel -> source point) into `target` of
// the same layout, each channel alone exactly as the live warp treats a grey frame.
void rectifyPicture(const double (&h)[3][3], const unsigned char* source, unsigned char* target,
                    int width, int height, int channels);
