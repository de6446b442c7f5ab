#include "app/HotKey.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QShortcut>
#include <QWidget>

#if defined(Q_OS_WIN)
#include <windows.h>
#elif defined(VELMORA_HAVE_XCB)
#include <xcb/xcb.h>
#endif

HotKey::HotKey(QWidget *window) : QObject(window), m_window(window)
{
    registerPlatformKey();
    if (m_native) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        return;
    }
    auto *shortcut = new QShortcut(QKeySequence(QKeyCombination(Qt::AltModifier | Qt::KeypadModifier, Qt::Key_Asterisk)),
                                   window);
    shortcut->setContext(Qt::ApplicationShortcut);
    connect(shortcut, &QShortcut::activated, this,
            [this] { emit pressed(AltModifier, KeypadMultiply); });
}

HotKey::~HotKey()
{
    if (m_native) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
        unregisterPlatformKey();
    }
}

#if defined(Q_OS_WIN)

void HotKey::registerPlatformKey()
{
    m_atom = GlobalAddAtomW(L"hot key");
    m_native = RegisterHotKey(HWND(m_window->winId()), m_atom, MOD_ALT, VK_MULTIPLY) != 0;
}

void HotKey::unregisterPlatformKey()
{
    UnregisterHotKey(HWND(m_window->winId()), m_atom);
    GlobalDeleteAtom(m_atom);
}

bool HotKey::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "windows_generic_MSG")
        return false;
    const MSG *msg = static_cast<const MSG *>(message);
    if (msg->message != WM_HOTKEY)
        return false;
    emit pressed(int(LOWORD(msg->lParam)), int(HIWORD(msg->lParam)));
    return true;
}

#elif defined(VELMORA_HAVE_XCB)

namespace {
constexpr uint32_t KeysymKeypadMultiply = 0xffaa;
// Alt with every combination of Caps Lock and Num Lock, which X11 counts as modifiers.
constexpr uint16_t GrabModifiers[] = {
    XCB_MOD_MASK_1, XCB_MOD_MASK_1 | XCB_MOD_MASK_LOCK, XCB_MOD_MASK_1 | XCB_MOD_MASK_2,
    XCB_MOD_MASK_1 | XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

xcb_connection_t *Connection()
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t RootWindow(xcb_connection_t *c)
{
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

unsigned FindKeycode(xcb_connection_t *c, uint32_t keysym)
{
    const xcb_setup_t *setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t *reply = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, uint8_t(count)), nullptr);
    if (!reply)
        return 0;
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(reply);
    const int perCode = reply->keysyms_per_keycode;
    unsigned found = 0;
    for (int i = 0; i < count * perCode && !found; ++i)
        if (syms[i] == keysym)
            found = unsigned(setup->min_keycode + i / perCode);
    free(reply);
    return found;
}
} // namespace

void HotKey::registerPlatformKey()
{
    xcb_connection_t *c = Connection();
    if (!c || !(m_keycode = FindKeycode(c, KeysymKeypadMultiply)))
        return;
    bool grabbed = true;
    for (uint16_t mods : GrabModifiers) {
        xcb_generic_error_t *err = xcb_request_check(
            c, xcb_grab_key_checked(c, 1, RootWindow(c), mods, xcb_keycode_t(m_keycode),
                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        if (err) {
            grabbed = false;   // another program holds the key
            free(err);
        }
    }
    m_native = grabbed;
    if (!grabbed)
        unregisterPlatformKey();
}

void HotKey::unregisterPlatformKey()
{
    if (xcb_connection_t *c = Connection()) {
        for (uint16_t mods : GrabModifiers)
            xcb_ungrab_key(c, xcb_keycode_t(m_keycode), RootWindow(c), mods);
        xcb_flush(c);
    }
}

bool HotKey::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & ~0x80) != XCB_KEY_PRESS)
        return false;
    const auto *key = static_cast<const xcb_key_press_event_t *>(message);
    if (key->detail != m_keycode || !(key->state & XCB_MOD_MASK_1))
        return false;
    emit pressed(AltModifier, KeypadMultiply);
    return true;
}

#else

void HotKey::registerPlatformKey() {}
void HotKey::unregisterPlatformKey() {}
bool HotKey::nativeEventFilter(const QByteArray &, void *, qintptr *) { return false; }

#endif
