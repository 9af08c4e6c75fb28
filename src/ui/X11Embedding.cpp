#include "X11Embedding.h"

#include "core/DeferredLibrary.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>

Q_LOGGING_CATEGORY(lcX11Embedding, "corvanta.webview.embedding")

// libxcb is loaded with the X11 platform plug-in; its functions are taken from there rather than
// linked, so the tool does not load it under any other platform. Declared as xcb.h declares them.
namespace XcbCalls {
struct XcbVoidCookie
{
    unsigned int sequence;
};
struct XcbConnection;
XcbVoidCookie xcb_set_input_focus(XcbConnection *, quint8 revertTo, quint32 window, quint32 time);
XcbVoidCookie xcb_unmap_window(XcbConnection *, quint32 window);
XcbVoidCookie xcb_reparent_window(XcbConnection *, quint32 window, quint32 parent, qint16 x, qint16 y);
int xcb_flush(XcbConnection *);
XcbVoidCookie xcb_change_window_attributes(XcbConnection *, quint32 window, quint32 valueMask, const void *values);
XcbVoidCookie xcb_get_window_attributes(XcbConnection *, quint32 window);
struct XcbWindowAttributesReply
{
    quint8 responseType, backingStore;
    quint16 sequence;
    quint32 length, visual;
    quint16 windowClass;
    quint8 bitGravity, winGravity;
    quint32 backingPlanes, backingPixel;
    quint8 saveUnder, mapIsInstalled, mapState, overrideRedirect;
    quint32 colormap, allEventMasks, yourEventMask;
    quint16 doNotPropagateMask;
    quint8 pad[2];
};
XcbWindowAttributesReply *xcb_get_window_attributes_reply(XcbConnection *, XcbVoidCookie, void **error);
struct XcbSetup;
struct XcbScreenIterator
{
    const quint32 *screen; // its first member is the root window
    int remaining;
    int index;
};
const XcbSetup *xcb_get_setup(XcbConnection *);
XcbScreenIterator xcb_setup_roots_iterator(const XcbSetup *);
} // namespace XcbCalls

namespace {
using namespace XcbCalls;

constexpr quint8 revertToParent = 2;
constexpr quint32 currentTime = 0;
constexpr quint32 eventMaskAttribute = 1u << 11;
constexpr quint32 keyEvents = 1u << 0 | 1u << 1;

struct Xcb
{
    XcbConnection *connection = nullptr;
    quint32 root = 0;
    decltype(&xcb_set_input_focus) setInputFocus = nullptr;
    decltype(&xcb_unmap_window) unmapWindow = nullptr;
    decltype(&xcb_reparent_window) reparentWindow = nullptr;
    decltype(&xcb_flush) flush = nullptr;
    decltype(&xcb_change_window_attributes) changeWindowAttributes = nullptr;
    decltype(&xcb_get_window_attributes) getWindowAttributes = nullptr;
    decltype(&xcb_get_window_attributes_reply) getWindowAttributesReply = nullptr;
};

const Xcb *xcb()
{
    static const Xcb functions = [] {
        Xcb result;
#if QT_CONFIG(xcb)
        auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (!x11)
            return result;
        try {
            static DeferredLibrary library("libxcb.so.1");
            result.setInputFocus = DEFERRED_FUNCTION(library, xcb_set_input_focus);
            result.unmapWindow = DEFERRED_FUNCTION(library, xcb_unmap_window);
            result.reparentWindow = DEFERRED_FUNCTION(library, xcb_reparent_window);
            result.flush = DEFERRED_FUNCTION(library, xcb_flush);
            result.changeWindowAttributes = DEFERRED_FUNCTION(library, xcb_change_window_attributes);
            result.getWindowAttributes = DEFERRED_FUNCTION(library, xcb_get_window_attributes);
            result.getWindowAttributesReply = DEFERRED_FUNCTION(library, xcb_get_window_attributes_reply);
            result.connection = reinterpret_cast<XcbConnection *>(x11->connection());
            const XcbScreenIterator screens = DEFERRED_FUNCTION(library, xcb_setup_roots_iterator)(
                DEFERRED_FUNCTION(library, xcb_get_setup)(result.connection));
            result.root = screens.remaining > 0 ? *screens.screen : 0;
        } catch (const std::exception &error) {
            qCWarning(lcX11Embedding) << "no X11 calls:" << error.what();
            result.connection = nullptr;
        }
#endif
        return result;
    }();
    return functions.connection ? &functions : nullptr;
}

} // namespace

namespace X11Embedding {

void giveKeyboard(quint32 window)
{
    if (const Xcb *x = xcb()) {
        x->setInputFocus(x->connection, revertToParent, window, currentTime);
        x->flush(x->connection);
    }
}

void release(quint32 child)
{
    if (const Xcb *x = xcb()) {
        x->unmapWindow(x->connection, child);
        x->reparentWindow(x->connection, child, x->root, 0, 0);
        x->flush(x->connection);
    }
}

} // namespace X11Embedding

void X11Embedding::takeKeyEvents(quint32 window, bool take)
{
    const Xcb *x = xcb();
    if (!x)
        return;
    // Qt chose the other events this window takes; only the keys change.
    XcbWindowAttributesReply *attributes = x->getWindowAttributesReply(
        x->connection, x->getWindowAttributes(x->connection, window), nullptr);
    if (!attributes)
        return;
    const quint32 mask = take ? attributes->yourEventMask | keyEvents : attributes->yourEventMask & ~keyEvents;
    std::free(attributes);
    x->changeWindowAttributes(x->connection, window, eventMaskAttribute, &mask);
    x->flush(x->connection);
}
