#pragma once

#include <QKeyEvent>
#include <cstdint>

namespace tessary {

// Keys as the key events of the platform the program was first written for name them:
// virtual-key codes, and the modifier state as a sum of Shift 1, Ctrl 2 and Alt 4. The keys
// of the numeric keypad have codes of their own (keypad 2 is 98, the 2 above the letters
// 50); keypad keys that move the cursor (Num Lock off) take the codes of the keys they
// stand for.
class VirtualKey
{
public:
    enum Code : std::int16_t
    {
        None = 0,
        Insert = 45,
        Numpad2 = 98,
        Numpad4 = 100,
        Numpad6 = 102,
        Numpad8 = 104,
        Multiply = 106, // keypad *
        Add = 107,      // keypad +
        Subtract = 109, // keypad -
        Divide = 111,   // keypad /
    };
    enum Shift : std::int16_t
    {
        ShiftMask = 1,
        CtrlMask = 2,
        AltMask = 4,
    };

    // The code of a Qt key (Qt::KeypadModifier tells the keypad's keys); None for a key
    // without one.
    static std::int16_t code(int qtKey, Qt::KeyboardModifiers modifiers);
    static std::int16_t code(const QKeyEvent& event)
    {
        return code(event.key(), event.modifiers());
    }
    // The modifier state: Shift, Ctrl and Alt held, summed.
    static std::int16_t shiftState(Qt::KeyboardModifiers modifiers);
};

} // namespace tessary
