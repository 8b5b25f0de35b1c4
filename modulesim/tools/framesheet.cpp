// Writes a contact sheet of frames from the simulated module: two presses
// of one finger, a press of another and an empty sensor.
//
//   vyrsim_frames <file.png>

#include "vyr_api.h"
#include "vyrsim.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <vector>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: vyrsim_frames <file.png>\n");
        return 2;
    }
    vyrsim_reset();
    int handle = 0;
    VYROpenDeviceEx(&handle, 2, nullptr, 2, 0);

    // Finger 1, lifted, finger 1 again, finger 2, nothing.
    const int script[] = {1, 0, 1, 2, 0};
    vyrsim_script(script, 5);
    const int shown[] = {0, 2, 3, 4}; // the requests that go on the sheet
    const int width = 256;
    const int height = 288;
    QImage sheet(4 * width + 5 * 8, height + 16, QImage::Format_RGB32);
    sheet.fill(QColor(0x30, 0x30, 0x30));
    QPainter painter(&sheet);
    std::vector<unsigned char> frame(width * height);
    int column = 0;
    for (int request = 0; request < 5; ++request) {
        int length = 0;
        VYRGetImage(handle, -1);
        VYRUpImage(handle, -1, frame.data(), &length);
        if (request != shown[column])
            continue;
        const QImage grey(frame.data(), width, height, width, QImage::Format_Grayscale8);
        painter.drawImage(8 + column * (width + 8), 8, grey);
        ++column;
    }
    painter.end();
    VYRCloseDeviceEx(handle);
    return sheet.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
