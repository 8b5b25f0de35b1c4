#ifndef X11FONTDPI_H
#define X11FONTDPI_H

// Qt 5 on X11 sizes fonts by the desktop's Xft.dpi, or, where the desktop
// sets none, by the DPI the X screen reports; Qt 6 falls back to 96 instead.
// Called before the application object exists, this hands Qt 6 the screen's
// DPI through QT_FONT_DPI in that one case, so that every caption keeps the
// pixel size it has with Qt 5. It leaves alone a QT_FONT_DPI the user set,
// other platforms and a display it cannot reach.
void keepQt5FontDpiOnX11(int argc, char *argv[]);

#endif // X11FONTDPI_H
