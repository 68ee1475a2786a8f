// The per-frame warp of the grey frame through homographyTable (backward mapping:
// output pixel -> input sample, bilinear).
#pragma once

struct SourcePoint {
    double u;
    double v;
};

// Where output pixel (x, y) samples the grey frame, through homographyTable.
SourcePoint projectPoint(int x, int y);

// Fills every byte of outputFrame (frameWidth × frameHeight) from grayFrame.
void rectifyFrame(const unsigned char* grayFrame, unsigned char*& outputFrame);
