#pragma once
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace zrk {

// Hidden message-only windows, through which the adapters that live on the
// window thread (the event loop, the bridge socket, the demo's bridge) get
// their timer ticks, posted calls and socket notifications.

// Creates one on the calling thread, of class `className`, registered with
// `procedure` on first use. `owner` is kept with the window for the
// procedure to find (MessageWindowOwner). Null on failure.
HWND CreateMessageWindow(const wchar_t* className, WNDPROC procedure, void* owner);

// The owner given at creation; null once the window is being destroyed.
template <class T>
T* MessageWindowOwner(HWND window)
{
    return reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// Forgets the owner, so that no message reaches it any more, and destroys
// the window; messages still queued for it are discarded with it.
void DestroyMessageWindow(HWND window);

} // namespace zrk
