// The system-wide hot key Alt + keypad multiply. Windows: RegisterHotKey under
// the global atom "hot key". X11: a key grab on the root window. Elsewhere
// (Wayland, offscreen): an application-wide shortcut.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

class QWidget;

class HotKey : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // Modifier value and virtual-key code the hot key carries.
    static constexpr int AltModifier = 1;
    static constexpr int KeypadMultiply = 106;

    explicit HotKey(QWidget *window);
    ~HotKey() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

signals:
    // The hot-key message: modifier value and virtual-key code.
    void pressed(int modifiers, int virtualKey);

private:
    void registerPlatformKey();
    void unregisterPlatformKey();

    QWidget *m_window;
    bool m_native = false;
    unsigned m_keycode = 0;     // X11 key code of keypad multiply
    unsigned short m_atom = 0;  // Windows global atom
};
