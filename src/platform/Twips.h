#pragma once

namespace corvane {

// Lengths in twips (1440 per inch) against pixels at a given number of dots per inch. Both round
// to the nearest value, so a whole number of pixels survives the round trip.
int TwipsToPixels(double twips, int dpi);
double PixelsToTwips(int pixels, int dpi);

// Dots per inch of the screen, which every window and dialog of the program is laid out for.
int ScreenDpi();

}  // namespace corvane
