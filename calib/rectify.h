// The per-frame warp of the grey frame through homographyTable (backward mapping:
// output pixel -> input sample, bilinear).
#pragma once

// Fills every byte of outputFrame (frameWidth × frameHeight) from grayFrame.
void rectifyFrame(const unsigned char* grayFrame, unsigned char*& outputFrame);
