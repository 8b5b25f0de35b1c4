#include "x11fontdpi.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// Where Qt will draw: X11 unless a platform or a Wayland session says otherwise.
bool onX11(int argc, char *argv[])
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0)
            return std::strncmp(argv[i + 1], "xcb", 3) == 0;
    }
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return qgetenv("QT_QPA_PLATFORM").startsWith("xcb");
    return qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && !qEnvironmentVariableIsEmpty("DISPLAY");
}

bool hasXftDpi(const QByteArray &resources)
{
    for (const QByteArray &line : resources.split('\n')) {
        if (line.startsWith("Xft.dpi:") && line.mid(8).trimmed().toInt() > 0)
            return true;
    }
    return false;
}

} // namespace

void keepQt5FontDpiOnX11(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet("QT_FONT_DPI") || !onX11(argc, argv))
        return;
    int screenNumber = 0;
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(
        xcb_connect(nullptr, &screenNumber), &xcb_disconnect);
    if (xcb_connection_has_error(connection.get()))
        return;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem <= 0 || screens.data->height_in_millimeters == 0)
        return;
    const xcb_screen_t &screen = *screens.data;

    // The desktop's resources, where Qt looks for Xft.dpi; up to 256 KiB.
    const xcb_get_property_cookie_t cookie = xcb_get_property(
        connection.get(), 0, screen.root, XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 0, 1u << 16);
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection.get(), cookie, nullptr), &std::free);
    if (reply) {
        const QByteArray resources(static_cast<const char *>(xcb_get_property_value(reply.get())),
                                   xcb_get_property_value_length(reply.get()));
        if (hasXftDpi(resources))
            return; // Qt 6 reads it just as Qt 5 does.
    }
    // Qt 5 takes the vertical DPI for fonts.
    const double dpi = 25.4 * screen.height_in_pixels / screen.height_in_millimeters;
    qputenv("QT_FONT_DPI", QByteArray::number(qRound(dpi)));
}
