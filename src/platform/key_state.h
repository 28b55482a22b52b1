// The state of the keyboard's lock keys as the windowing system knows it.
#pragma once

namespace tolvan {

// Caps Lock and Num Lock from the X server's keyboard indicators (the LEDs)
// when the program runs on X. Returns false where that cannot be asked (not
// on X, libX11 not loaded); the caller then follows the lock keys' presses.
bool queryLockKeys(bool& caps, bool& num);

}  // namespace tolvan
