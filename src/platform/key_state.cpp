// The lock-key query on X: XkbGetIndicatorState, looked up at run time in the
// libX11 that Qt's xcb platform already loaded, so the program neither links
// against libX11 nor needs it on other platforms.
#include "platform/key_state.h"

#include <QGuiApplication>
#include <dlfcn.h>

#if __has_include(<QtGui/qguiapplication_platform.h>)
#include <QtGui/qguiapplication_platform.h>
#endif

namespace tolvan {

bool queryLockKeys(bool& caps, bool& num) {
#if QT_CONFIG(xcb)
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (!x11 || !x11->display()) return false;
  using Fn = int (*)(void*, unsigned int, unsigned int*);
  static Fn fn = reinterpret_cast<Fn>(dlsym(RTLD_DEFAULT, "XkbGetIndicatorState"));
  if (!fn) {
    void* lib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (lib) fn = reinterpret_cast<Fn>(dlsym(lib, "XkbGetIndicatorState"));
  }
  if (!fn) return false;
  unsigned int state = 0;
  constexpr unsigned int kUseCoreKbd = 0x0100;
  if (fn(x11->display(), kUseCoreKbd, &state) != 0) return false;
  caps = state & 1u;
  num = state & 2u;
  return true;
#else
  (void)caps;
  (void)num;
  return false;
#endif
}

}  // namespace tolvan
