// The logo: the credit card and the light streak sweep in, close toward a band and fade out.
#pragma once

void LogoFrame();
// The logo's pictures drawn unseen, by the boot's loading, so its first frames do not wait.
void DrawLogoUnseen();

// Where the two logo pictures stand at scene frame t (pixels; empty rectangles when not drawn).
struct LogoLayout {
    bool drawPictures = false;
    int streamX1, streamY1, streamX2, streamY2;
    int creditX1, creditY1, creditX2, creditY2;
    bool madeInJapan = false;
    bool autoLoadLine = false;
    int overlayAlpha = 0;   // black overlay over everything, 0..255
};
LogoLayout LogoLayoutAt(int t, bool autoLoaded);
